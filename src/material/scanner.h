// The token scanner of material files: blank-separated words, "quoted"
// tokens that keep blanks, ';' comment lines, and named blocks
// word { ... } whose tokens carry the block's name.
#pragma once

#include <cstddef>

constexpr size_t kScanTokenMax = 1023;  // characters of one token; a longer word becomes several

struct TextScanner {
    char *name = nullptr;           // owned copy of the block's name; null at top level
    const char *buffer = nullptr;   // start of the text, not owned
    const char *cursor = nullptr;
    const char *end = nullptr;      // the text's first NUL, or the end of its bytes
    TextScanner *child = nullptr;   // scanner of the open block inside this one
    TextScanner *parent = nullptr;  // the scanner this block was opened in
    TextScanner *active = nullptr;  // of the outermost scanner: the innermost open block
};

struct ScanToken {
    const char *blockName = nullptr;  // the scanner's name (not owned), null at top level
    char text[kScanTokenMax + 1] = {};
};

// A scanner over `length` bytes of text (not owned: it must outlive the
// scanner); the text ends at its first NUL byte if it has one.
TextScanner *Scan_FromText(const char *text, size_t length);

// The next token, from the scanner Scan_FromText made (its blocks are read
// through it). False, with an empty text, at the end of the text or of
// the current block; a block's end lets its parent read on after the '}'.
bool Scan_NextToken(TextScanner *scanner, ScanToken *token);

// Releases the scanner, its open blocks and their names; the text stays.
void Scan_Free(TextScanner *scanner);
