// The token scanner. Blocks nest as a chain of child scanners; reading always
// goes on in the innermost one, which the outermost scanner keeps track of, so
// that deep nesting costs neither stack nor a walk down the chain per token.
#include "material/scanner.h"

#include <cstring>
#include <new>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void SkipBlanks(TextScanner *s)
{
    while (s->cursor < s->end && IsBlank(*s->cursor))
        ++s->cursor;
}

// Blanks, then any ';' comment lines, each up to (not over) its line break.
void SkipBlanksAndComments(TextScanner *s)
{
    SkipBlanks(s);
    while (s->cursor < s->end && *s->cursor == ';') {
        while (s->cursor < s->end && *s->cursor != '\r' && *s->cursor != '\n')
            ++s->cursor;
        SkipBlanks(s);
    }
}

TextScanner *NewScanner(const char *buffer, const char *cursor, const char *end)
{
    TextScanner *s = new (std::nothrow) TextScanner;
    if (!s)
        return nullptr;
    s->buffer = buffer;
    s->cursor = cursor;
    s->end = end;
    return s;
}

void FreeOne(TextScanner *s)
{
    delete[] s->name;
    delete s;
}

}  // namespace

TextScanner *Scan_FromText(const char *text, size_t length)
{
    if (!text)
        length = 0;
    const void *nul = length ? memchr(text, 0, length) : nullptr;
    const char *end = nul ? static_cast<const char *>(nul) : text + length;
    return NewScanner(text, text, end);
}

bool Scan_NextToken(TextScanner *root, ScanToken *token)
{
    token->text[0] = '\0';
    token->blockName = nullptr;
    if (!root)
        return false;
    TextScanner *s = root->active ? root->active : root;
    for (;;) {
        SkipBlanksAndComments(s);
        if (s->cursor >= s->end || *s->cursor == '}') {
            if (s == root)
                return false;
            // The block has ended: its parent reads on after the '}'.
            TextScanner *parent = s->parent;
            parent->cursor = s->cursor;
            if (parent->cursor < parent->end && *parent->cursor == '}')
                ++parent->cursor;
            parent->child = nullptr;
            FreeOne(s);
            s = parent;
            root->active = s == root ? nullptr : s;
            continue;
        }

        bool quoted = false;
        if (*s->cursor == '"') {
            ++s->cursor;
            quoted = true;
        }
        size_t n = 0;
        while (s->cursor < s->end && n < kScanTokenMax) {
            const char c = *s->cursor;
            if (c == '"') {
                ++s->cursor;
                break;
            }
            if (!quoted && IsBlank(c))
                break;
            token->text[n++] = c;
            ++s->cursor;
        }
        token->text[n] = '\0';
        SkipBlanks(s);

        if (s->cursor < s->end && *s->cursor == '{') {
            // The word in front of '{' names the block and is not returned.
            TextScanner *child = NewScanner(s->buffer, s->cursor + 1, s->end);
            char *name = child ? new (std::nothrow) char[n + 1] : nullptr;
            if (!name) {
                delete child;
                return false;
            }
            memcpy(name, token->text, n + 1);
            child->name = name;
            child->parent = s;
            s->child = child;
            s = child;
            root->active = s;
            token->text[0] = '\0';
            continue;
        }
        token->blockName = s->name;
        return true;
    }
}

void Scan_Free(TextScanner *scanner)
{
    while (scanner) {
        TextScanner *child = scanner->child;
        FreeOne(scanner);
        scanner = child;
    }
}
