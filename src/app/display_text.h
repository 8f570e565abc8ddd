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
