// How the main window words the reasons under its messages: the store and the system give them as
// fragments ("line 3: a NUL byte, ..."), and the messages show them as sentences.
#pragma once

#include <cstddef>
#include <string>

// The text as a sentence: a reason in the system's words may lack its full stop.
std::string Sentence(std::string text);

// A reason given as a fragment, as the sentence that follows a message's title ("Import Failed:"):
// its first letter a capital, and a full stop at its end.
std::string FragmentAsSentence(std::string text);

// "1 entry" or "N entries", from the count and both forms of the noun.
std::string CountOf(std::size_t count, const char* one, const char* many);
