#include "app/display_text.h"

wxString App_PathText(const std::string &bytes)
{
    wxString text = wxString::FromUTF8(bytes.data(), bytes.size());
    if (text.empty() && !bytes.empty())
        text = wxString(bytes.data(), wxConvISO8859_1, bytes.size());
    return text;
}

// Plain ASCII, the usual case, is widened in one pass: a 1 MiB text must reach
// the view within a few milliseconds.
wxString App_DisplayText(const std::string &text)
{
    const size_t n = text.size();
    auto dropped = [&](size_t i) {
        return text[i] == '\r' && i + 1 < n && (text[i + 1] == '\n' || text[i + 1] == '\r');
    };
    bool ascii = true;
    for (unsigned char c : text)
        ascii &= c < 0x80;
    if (ascii) {
        wxString shown;
        {
            wxStringBufferLength buffer(shown, n);  // sets the length when it goes
            wchar_t *out = buffer;
            size_t length = 0;
            for (size_t i = 0; i < n; ++i)
                if (!dropped(i))
                    out[length++] = static_cast<wchar_t>(text[i]);
            buffer.SetLength(length);
        }
        return shown;
    }
    std::string lines;
    lines.reserve(n);
    for (size_t i = 0; i < n; ++i)
        if (!dropped(i))
            lines += text[i];
    return App_PathText(lines);
}

std::string App_PathFromWx(const wxString &path)
{
#ifdef __WXMSW__
    return std::string(path.utf8_str());
#else
    return std::string(path.fn_str());
#endif
}

wxString App_PathToWx(const std::string &path)
{
#ifdef __WXMSW__
    return wxString::FromUTF8(path.data(), path.size());
#else
    return wxString(path.c_str(), *wxConvFileName);
#endif
}

std::string App_Latin1Bytes(const wxString &typed)
{
    std::string text;
    text.reserve(typed.length());
    for (wxUniChar c : typed)
        text += c.GetValue() < 0x100 ? static_cast<char>(c.GetValue()) : '\0';
    return text;
}
