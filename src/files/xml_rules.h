#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace orv::xml {

// First element below node (depth-first, document order) whose name matches, ignoring case.
pugi::xml_node FindSection(pugi::xml_node node, std::string_view name);

// Direct children named exactly so; list items are matched with letter case.
bool IsItem(pugi::xml_node node, std::string_view name);

// Attributes count by position: the n-th attribute (from 0) in document order.
pugi::xml_attribute AttrAt(pugi::xml_node node, int n);
std::string TextAt(pugi::xml_node node, int n);

// Decimal integer as the files hold it; text that is not a number reads `fallback`.
long long ParseNumber(std::string_view text, long long fallback = 0);
bool IsDecimalNumber(std::string_view text);
int IntAt(pugi::xml_node node, int n);
unsigned char ByteAt(pugi::xml_node node, int n);

// Writers: every attribute is always written.
void SetInt(pugi::xml_node node, const char* name, long long value);
void SetText(pugi::xml_node node, const char* name, const std::string& text);
pugi::xml_node AddValue(pugi::xml_node parent, const char* element, const char* attribute, long long value);

// The document as the files hold it: declaration, tab indentation, CR LF line ends.
std::string Serialize(const pugi::xml_document& doc);
pugi::xml_document NewDocument();

// Parses a whole file read into memory; refuses files that cannot be a configuration. reason:
// why a file that is there could not be read (empty for one that is not XML).
bool LoadFile(pugi::xml_document& doc, const std::string& path, std::string* reason = nullptr);

} // namespace orv::xml
