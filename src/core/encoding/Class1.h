#pragma once
// Base64 of a text's code page 936 bytes: the form in which the login
// password is stored.

#include <cstdint>
#include <string>

namespace velotan::encoding {

class Class1 {
  public:
    // Base64 (standard alphabet, "=" padding, no line breaks) of the text's
    // code page 936 bytes. Any length is accepted.
    std::u16string Base64Encode(const std::u16string& InStr1) const;

    // The text whose code page 936 bytes `InStr1` encodes. Characters outside
    // the alphabet count as padding of their group and decode as 0. A last
    // group of two or three characters decodes as if padded with "=" to four;
    // a single leftover character is ignored.
    std::u16string Base64Decode(const std::u16string& InStr1) const;

    // Code page 936 bytes of a text, lead byte first for a double-byte
    // character.
    static std::string TextToAnsiBytes(const std::u16string& text);

  private:
    static void EncodeGroup(uint8_t (&in)[3], uint8_t (&out)[4], int count);
    static void DecodeGroup(const uint8_t (&in)[4], uint8_t (&out)[3], int& count);
    static std::u16string BytesToText(const std::string& bytes);
};

}  // namespace velotan::encoding
