#pragma once
// The commands of the tme tool. Each takes its arguments after the command
// name, writes its result and raises kep exceptions on failure.
#include <stdexcept>
#include <string>
#include <vector>

namespace kep::tool {

using Arguments = std::vector<std::string>;

// Wrong usage: the message goes to standard error and the tool exits with 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void Info(const Arguments& args);
void List(const Arguments& args);
void Unpack(const Arguments& args);
void Repack(const Arguments& args);
void Pack(const Arguments& args);
void StreamToText(const Arguments& args);
void TextToStream(const Arguments& args);
void Code(const Arguments& args);
void SetCode(const Arguments& args);
void Check(const Arguments& args);

} // namespace kep::tool
