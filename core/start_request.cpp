#include "start_request.h"

#include <cstddef>

namespace brimlow {
namespace {

bool SameIgnoringCase(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return true;
}

}  // namespace

StartRequest StartRequestOf(std::string_view arguments) {
    constexpr std::string_view kBlanks = " \t";
    const auto first = arguments.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return StartRequest::Run;
    const auto word = arguments.substr(first, arguments.find_last_not_of(kBlanks) - first + 1);
    if (SameIgnoringCase(word, "/pause")) return StartRequest::Pause;
    if (SameIgnoringCase(word, "/resume")) return StartRequest::Resume;
    return StartRequest::Run;
}

}  // namespace brimlow
