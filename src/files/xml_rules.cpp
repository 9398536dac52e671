#include "xml_rules.h"

#include "files/file_access.h"

#include <cctype>
#include <cerrno>
#include <limits>
#include <sstream>

namespace orv::xml {

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        // Section names are ASCII; other bytes compare exactly.
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// A configuration is a few kilobytes; anything this large is not one.
constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;

} // namespace

pugi::xml_node FindSection(pugi::xml_node node, std::string_view name) {
    // find_node walks without recursion, so deep nesting cannot exhaust the stack.
    return node.find_node([name](pugi::xml_node n) {
        return n.type() == pugi::node_element && SameIgnoringCase(n.name(), name);
    });
}

bool IsItem(pugi::xml_node node, std::string_view name) {
    return node.type() == pugi::node_element && std::string_view(node.name()) == name;
}

pugi::xml_attribute AttrAt(pugi::xml_node node, int n) {
    if (n < 0) {
        return {};
    }
    pugi::xml_attribute a = node.first_attribute();
    for (int i = 0; i < n && a; ++i) {
        a = a.next_attribute();
    }
    return a;
}

std::string TextAt(pugi::xml_node node, int n) {
    return AttrAt(node, n).value();
}

bool IsDecimalNumber(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    if (i == text.size() || text.size() - i > 18) {
        return false;
    }
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

long long ParseNumber(std::string_view text, long long fallback) {
    if (!IsDecimalNumber(text)) {
        return fallback;
    }
    long long value = 0;
    std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    for (; i < text.size(); ++i) {
        value = value * 10 + (text[i] - '0');
    }
    return text[0] == '-' ? -value : value;
}

int IntAt(pugi::xml_node node, int n) {
    const long long v = ParseNumber(AttrAt(node, n).value());
    // Out of the integer range counts as not a number.
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) {
        return 0;
    }
    return static_cast<int>(v);
}

unsigned char ByteAt(pugi::xml_node node, int n) {
    return static_cast<unsigned char>(IntAt(node, n) & 0xFF);
}

void SetInt(pugi::xml_node node, const char* name, long long value) {
    node.append_attribute(name).set_value(std::to_string(value).c_str());
}

void SetText(pugi::xml_node node, const char* name, const std::string& text) {
    node.append_attribute(name).set_value(text.c_str());
}

pugi::xml_node AddValue(pugi::xml_node parent, const char* element, const char* attribute, long long value) {
    pugi::xml_node n = parent.append_child(element);
    SetInt(n, attribute, value);
    return n;
}

pugi::xml_document NewDocument() {
    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version").set_value("1.0");
    decl.append_attribute("encoding").set_value("utf-8");
    return doc;
}

std::string Serialize(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, "\t", pugi::format_indent, pugi::encoding_utf8);
    const std::string lf = out.str();
    std::string crlf;
    crlf.reserve(lf.size() + lf.size() / 16);
    for (char c : lf) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    return crlf;
}

bool LoadFile(pugi::xml_document& doc, const std::string& path, std::string* reason) {
    const InputFile file = ReadInputFile(path, kMaxFileSize + 1);
    if (!file.ok || file.data.size() > kMaxFileSize) {
        if (reason) {
            *reason = file.ok ? SystemErrorText(EFBIG) : file.reason;
        }
        return false;
    }
    return static_cast<bool>(
        doc.load_buffer(file.data.data(), file.data.size(), pugi::parse_default, pugi::encoding_auto));
}

} // namespace orv::xml
