#pragma once
#include <stdexcept>
#include <string>

namespace tv {

// Every failure of the table engine. The message is shown to the user as it stands,
// so it names the file and what is wrong with it in plain words.
class EngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace tv
