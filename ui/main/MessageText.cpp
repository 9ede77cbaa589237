#include "MessageText.h"

std::string Sentence(std::string text) {
    if (!text.empty() && text.back() != '.')
        text += '.';
    return text;
}

std::string FragmentAsSentence(std::string text) {
    if (!text.empty() && text.front() >= 'a' && text.front() <= 'z')
        text.front() = char(text.front() - 'a' + 'A');
    return Sentence(std::move(text));
}

std::string CountOf(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}
