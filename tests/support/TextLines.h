// Test support for what programs print and log: a text split into its
// lines, and a line the command runner recorded shortened to the command
// and its arguments. Header only; nothing here depends on the library.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace corla_test {

// The lines of text, line ends left out; a last line without its line end
// counts, an empty text has none.
inline std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A recorded runner line as "<command> <arguments>": the shell wrapper
// ("<sh> -c "..."), the command's directory and the redirections (" 1>...")
// left out. A line without the wrapper keeps its command as written.
inline std::string ShortCommandLine(const std::string &line) {
    std::string body = line;
    size_t q = body.find(" -c \"");
    if (q != std::string::npos) body = body.substr(q + 5);
    if (!body.empty() && body.back() == '"') body.pop_back();
    size_t redirect = body.find(" 1>");
    if (redirect != std::string::npos) body = body.substr(0, redirect);
    size_t space = body.find(' ');
    std::string command = body.substr(0, space);
    size_t slash = command.rfind('/');
    if (slash != std::string::npos && q != std::string::npos) command = command.substr(slash + 1);
    return space == std::string::npos ? command : command + body.substr(space);
}

} // namespace corla_test
