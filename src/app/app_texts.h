// The window's own texts, quoted exactly where the user sees them.
#pragma once

constexpr const char *kAppName = "Quillon";  // caption of the main window and of every message box
constexpr const char *kNoFileLoaded = "No file loaded.";
constexpr const char *kNoResourceSelected = "No resource selected.";
constexpr const char *kPlayOnClick = "&Play on click";
constexpr const char *kSurfaceLabel = "Surfaces (select to disable):";
// The last line of a text view cut at kTextViewMaxBytes.
constexpr const char *kTextViewCut =
    "\r\n[Only the first 16 MiB of this text are shown; the rest is left out here. "
    "Export writes all of it.]";

constexpr const char *kAboutCaption = "About Quillon (version 0.1)";
constexpr const char *kAboutText = "Quillon is a Duskmoor resource viewer.";
constexpr const char *kAboutHowTo = "How to use:";
constexpr const char *kHelpText =
    "Open .PAK files in your Duskmoor\\Engine\\pak\\pc directory, and you may browse their contents. Only "
    "open the first .PAK file in the case of the numbered files, as the first (largest) file has the file "
    "indexing. Quillon will read into the other extra .PAK files silently as needed."
    "\r\n\r\n"
    "Holding left click over the view area slides textures and rotates models. Holding right click zooms "
    "models in and out, and holding control with right-click moves models around. Holding shift and left "
    "mouse allows you to move the primary light source, while shift and the right mouse button changes its "
    "distance. Holding shift and control at the same time allows you to manipulate the secondary light "
    "source in the same way."
    "\r\n\r\n"
    "You can disable various types of asset previews from the \"View\" menu, if you want to avoid loads "
    "while scrolling through the file contents."
    "\r\n\r\n"
    "The \"Export\" menu allows you to export the currently selected resource. In addition to raw export, "
    "some resources can be exported to friendly formats, such as .ogg, .dds, and WaveFront .obj.";

constexpr const char *kDumpCaption = "Binary-Text Dump";
constexpr const char *kDumpIntro =
    "This will dump the contents of the file to comma-delimited interpreted values in ASCII text format.";
constexpr const char *kDumpFormatLabel = "Data format:";
constexpr const char *kDumpOffsetLabel = "Byte offset:";
constexpr const char *kDumpBigEndian = "&Big Endian";
constexpr const char *kDumpHexadecimal = "&Hexadecimal";
// Radio buttons 1006..1013 in data-format order.
constexpr const char *kDumpFormatNames[8] = {"Byte", "Unsigned Byte", "Short", "Unsigned Short",
                                             "Int",  "Unsigned Int",  "Float", "Double"};

// Filters of the file dialogs, in the "desc|pattern|..." form.
constexpr const char *kPakFilter = "PAK Files (*.pak)|*.pak";
constexpr const char *kRawFilter = "DKM Data (*.raw)|*.raw|All Files (*.*)|*.*";
constexpr const char *kDumpFilter = "Text (*.txt)|*.txt|All Files (*.*)|*.*";
