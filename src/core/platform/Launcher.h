#pragma once
// Starting programs and opening URLs without a shell: every argument travels
// as its own vector element, so no text is ever interpreted as a command.

#include <string>
#include <vector>

namespace velotan::platform {

// Starts `argv[0]` (looked up in PATH when it has no slash) with the given
// arguments and does not wait for it. False, with a reason, when it could not
// be started.
bool StartProgram(const std::vector<std::string>& argv, std::string* error = nullptr);

// Opens a URL with the desktop's URL handler (xdg-open).
bool OpenUrl(const std::string& url, std::string* error = nullptr);

}  // namespace velotan::platform
