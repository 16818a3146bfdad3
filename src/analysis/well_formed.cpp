#include "analysis/well_formed.h"

#include <expat.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace analysis {

namespace {

struct Open {
    std::string name;
    int32_t line;
    int32_t offset;
};

struct Reading {
    XML_Parser parser;
    std::vector<Open> stack;
};

void XMLCALL on_start(void *user, const XML_Char *name, const XML_Char **) {
    Reading *r = static_cast<Reading *>(user);
    r->stack.push_back(Open{name, int32_t(XML_GetCurrentLineNumber(r->parser)),
                            int32_t(XML_GetCurrentByteIndex(r->parser))});
}

void XMLCALL on_end(void *user, const XML_Char *) {
    Reading *r = static_cast<Reading *>(user);
    if (!r->stack.empty()) r->stack.pop_back();
}

int32_t line_of(const std::vector<int32_t> &starts, int32_t offset) {
    return int32_t(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin());
}

bool name_char(char ch) {
    return !(ch == '>' || ch == '/' || ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == 0);
}

std::string open_list(const std::vector<Open> &stack, size_t from) {
    std::string s;
    for (size_t i = stack.size(); i-- > from;)
        s += (s.empty() ? "<" : ", <") + stack[i].name + "> (line " + std::to_string(stack[i].line) + ")";
    return s;
}

} // namespace

bool well_formed(const std::string &file, const std::string &source, const std::vector<int32_t> &line_starts,
                 std::vector<Finding> *out) {
    std::string text = source;
    bool clean = true;
    auto say = [&](int32_t offset, int32_t end, const std::string &message) {
        int32_t line = offset >= 0 ? line_of(line_starts, offset) : 0;
        out->push_back(Finding{file, line, offset, end, message, FINDING_XML});
        clean = false;
    };
    // Each mend keeps every byte offset of the text before the error, so that later errors are
    // placed on the author's own lines; inserted end tags sit where nothing was.
    for (int round = 0; round < 32; round++) {
        Reading r;
        r.parser = XML_ParserCreate("UTF-8");
        if (!r.parser) return clean;
        XML_SetUserData(r.parser, &r);
        XML_SetElementHandler(r.parser, on_start, on_end);
        bool ok = XML_Parse(r.parser, text.data(), int(std::min<size_t>(text.size(), 0x7FFFFFFF)), 1) ==
                  XML_STATUS_OK;
        if (ok) {
            XML_ParserFree(r.parser);
            return clean;
        }
        XML_Error code = XML_GetErrorCode(r.parser);
        int32_t at = int32_t(XML_GetCurrentByteIndex(r.parser));
        std::string words = XML_ErrorString(code);
        XML_ParserFree(r.parser);
        if (at < 0 || size_t(at) > text.size()) at = int32_t(text.size());
        // A mismatched end tag is reported at its name; the tag starts at its "</".
        if (code == XML_ERROR_TAG_MISMATCH && at >= 2 && text.compare(size_t(at) - 2, 2, "</") == 0) at -= 2;
        // A position past the author's text (inside a mended end tag) is given as the text's end.
        int32_t place = std::min<int32_t>(at, int32_t(source.size()));
        char here = size_t(at) < text.size() ? text[size_t(at)] : 0;
        bool at_end =
            size_t(at) >= text.size() || text.find_first_not_of(" \t\r\n", size_t(at)) == std::string::npos;
        if (code == XML_ERROR_TAG_MISMATCH && here == '<' && size_t(at) + 1 < text.size() &&
            text[size_t(at) + 1] == '/') {
            size_t n = size_t(at) + 2, e = n;
            while (e < text.size() && name_char(text[e]))
                e++;
            std::string name = text.substr(n, e - n);
            size_t match = r.stack.size();
            for (size_t i = r.stack.size(); i-- > 0;)
                if (r.stack[i].name == name) {
                    match = i;
                    break;
                }
            if (match < r.stack.size() && match + 1 < r.stack.size()) {
                // Elements above the one this end tag closes were never closed.
                for (size_t i = r.stack.size(); i-- > match + 1;)
                    say(r.stack[i].offset, r.stack[i].offset + int32_t(r.stack[i].name.size()) + 1,
                        "<" + r.stack[i].name + "> is never closed: line " +
                            std::to_string(line_of(line_starts, place)) + " ends <" + name +
                            "> while it is still open");
                std::string closing;
                for (size_t i = r.stack.size(); i-- > match + 1;)
                    closing += "</" + r.stack[i].name + ">";
                text.insert(size_t(at), closing);
                continue;
            }
            const Open *top = r.stack.empty() ? nullptr : &r.stack.back();
            say(place, place + int32_t(e - size_t(at)) + 1,
                "</" + name + "> does not close " +
                    (top ? "<" + top->name + ">, opened on line " + std::to_string(top->line)
                         : std::string("anything")) +
                    ": end tags must name the element they close");
            if (!top) return clean;
            text.replace(n, e - n, top->name);
            continue;
        }
        if (at_end || code == XML_ERROR_NO_ELEMENTS || code == XML_ERROR_UNCLOSED_TOKEN) {
            // Where the text stops: after its last character that is not blank.
            size_t last = source.find_last_not_of(" \t\r\n");
            place = last == std::string::npos ? 0 : int32_t(last);
            std::string open = open_list(r.stack, 0);
            say(place, place,
                open.empty() ? "the text ends before the document does (" + words + "): it is cut short"
                             : "the text ends while " + open + (r.stack.size() == 1 ? " is" : " are") +
                                   " still open: it is cut short");
            return clean;
        }
        if (code == XML_ERROR_INVALID_TOKEN || code == XML_ERROR_UNDEFINED_ENTITY ||
            code == XML_ERROR_BAD_CHAR_REF) {
            // In text the reader stops just past a raw "<", or past "&" and the letters after it.
            if (here != '&' && here != '<' && at > 0) {
                int32_t back = at - 1;
                while (back > 0 && at - back < 32 &&
                       (std::isalnum(static_cast<unsigned char>(text[size_t(back)])) ||
                        text[size_t(back)] == '#'))
                    back--;
                if (text[size_t(back)] == '&' || (text[size_t(at) - 1] == '<' && (back = at - 1) >= 0))
                    at = back;
                here = text[size_t(at)];
                place = std::min<int32_t>(at, int32_t(source.size()));
            }
        }
        if ((code == XML_ERROR_INVALID_TOKEN || code == XML_ERROR_UNDEFINED_ENTITY ||
             code == XML_ERROR_BAD_CHAR_REF) &&
            (here == '&' || here == '<')) {
            say(place, place + 1,
                here == '&'
                    ? std::string(
                          "a raw \"&\": write &amp; for the character (and &lt; and &gt; for < and > in "
                          "shaders)")
                    : std::string("a raw \"<\": write &lt; for the character"));
            text[size_t(at)] = ' ';
            continue;
        }
        say(place, place + 1, words);
        return clean;
    }
    return clean;
}

} // namespace analysis
