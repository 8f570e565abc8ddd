// Archive bytes as the window shows them: entry names, paths, messages and
// resource text are bytes of no declared encoding.
#pragma once

#include <wx/string.h>

#include <string>

// UTF-8 where the bytes are valid UTF-8, single-byte Latin-1 otherwise: the
// one rule of labels, messages, the status bar and the surface list.
wxString App_PathText(const std::string &bytes);

// Resource text for the text view: the same rule, with the CR put before each
// LF dropped (GTK breaks a line at a lone CR as well as at LF).
wxString App_DisplayText(const std::string &text);

// Typed text as the bytes of an entry name (single-byte Latin-1, as the list
// shows names); a character with no Latin-1 form becomes a NUL, which no name
// holds or matches.
std::string App_Latin1Bytes(const wxString &typed);

// A path between wx and the file layer: UTF-8 on Windows (the file layer
// widens it for the system), the file system's own bytes elsewhere.
std::string App_PathFromWx(const wxString &path);
wxString App_PathToWx(const std::string &path);
