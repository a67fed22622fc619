#include "ProgramSettings.h"

#include "ModReadFromIni.h"
#include "platform/AnsiTextFile.h"

namespace velotan::cipher {

std::u16string ReadKeyChar(const std::filesystem::path& programFolder) {
    return ReadIniValue(programFolder / kSettingsFileName, u"set", u"KeyChar");
}

bool WriteKeyChar(const std::filesystem::path& programFolder, const std::u16string& root,
                  std::string* error) {
    return platform::WriteAnsiLines(programFolder / kSettingsFileName,
                                    {u"[set]", u"KeyChar=" + root}, platform::kOrdinaryFileMode,
                                    error);
}

}  // namespace velotan::cipher
