#pragma once
// The round-trip check: a menu template's code converted to text and back, and
// whether saving that code unchanged would give the template's bytes again.
// Where it would not, the first differing byte is named together with the
// value that changes ("Int32 tag where Int8 suffices").
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kep {

class TemplateDocument;

struct TemplateCheckResult {
    std::string Name;            // the member's name (the file-name part for a single template)
    bool IsTemplate = true;      // false: a member that is not a menu template, not checked
    bool Converts = false;       // to text and back without an error
    std::string Error;           // the conversion's message when it does not convert
    bool SameBytes = false;      // saving the code unchanged gives the same file
    int64_t FirstDifference = -1; // offset in the template file of the first byte that differs
    std::string Difference;      // what changes there
    int64_t OriginalSize = 0;    // length of the template file
    int64_t ConvertedSize = 0;   // length of the file that saving the code would write
};

// Checks the bytes of a menu template file (header, component stream, any
// trailing bytes).
TemplateCheckResult CheckTemplateBytes(const uint8_t* file, size_t size);

// Checks every member of the open document whose extension is exactly ".tme"
// (in a pack; other members are listed with IsTemplate false), or the single
// menu template's working copy. Files are read from the working folder.
std::vector<TemplateCheckResult> CheckDocument(const TemplateDocument& document);

// One line per member: "menu1.tme: same bytes", "menu2.tme: differs at
// offset 1050: ...", "bad.tme: does not convert: ...", "back.jpg: not a
// template". Lines end with "\n".
std::string FormatCheckReport(const std::vector<TemplateCheckResult>& results);

// True when every template among the results converts.
bool EveryTemplateConverts(const std::vector<TemplateCheckResult>& results);

// The code of the menu template file at path, as TemplateToText produces it:
// Windows-1252 text with CR LF line ends. Refuses a file too short for its
// header and stream.
std::string TemplateFileCode(const std::string& path);

// The first difference between two component streams, described by the value
// in which it lies. offset receives the first differing byte (or -1 when the
// streams are equal).
std::string DescribeStreamDifference(const uint8_t* before, size_t beforeSize, const uint8_t* after,
                                     size_t afterSize, int64_t& offset);

} // namespace kep
