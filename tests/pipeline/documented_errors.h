// The toolkit's own documentation of its error codes, read from its
// driver_types.h (KALTHORNE_DRIVER_TYPES_H): the codes whose comment says the
// process must be terminated and relaunched to use CUDA again, and all the
// others. An oracle for the lists of context faults that owes them nothing.
#pragma once

#include <cuda_runtime_api.h>

#include <cctype>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

struct DocumentedErrors {
  std::vector<cudaError_t> fatal;  // CUDA unusable until the process is relaunched
  std::vector<cudaError_t> other;
};

inline DocumentedErrors documented_errors() {
  std::ifstream in(KALTHORNE_DRIVER_TYPES_H);
  std::stringstream text;
  text << in.rdbuf();
  const std::string all = text.str();
  const size_t begin = all.find("enum __device_builtin__ cudaError");
  const size_t end = all.find("};", begin);
  DocumentedErrors found;
  if (begin == std::string::npos || end == std::string::npos) return found;
  // Each enumerator with the comment before it, the comment's words joined
  // by single spaces ('*' margins dropped).
  const std::regex item(R"(/\*\*([\s\S]*?)\*/\s*,?\s*(cudaError\w+)\s*=\s*(\d+))");
  const std::string body = all.substr(begin, end - begin);
  for (std::sregex_iterator i(body.begin(), body.end(), item), e; i != e; ++i) {
    std::string words;
    for (char c : (*i)[1].str()) {
      if (c == '*' || std::isspace(static_cast<unsigned char>(c))) {
        if (!words.empty() && words.back() != ' ') words += ' ';
      } else {
        words += c;
      }
    }
    const auto code = cudaError_t(std::stoi((*i)[3].str()));
    (words.find("the process must be terminated and relaunched") != std::string::npos ? found.fatal : found.other)
        .push_back(code);
  }
  return found;
}
