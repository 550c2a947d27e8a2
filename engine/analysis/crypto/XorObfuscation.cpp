// The published procedures of Office's XOR obfuscation method 1, step for step.
#include "XorObfuscation.h"

namespace tessaly::analysis::crypto {
namespace {

constexpr std::uint8_t kPad[15] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80, 0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};
constexpr std::uint16_t kInitialCode[15] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C, 0x0E10, 0xF1CE, 0x313E,
                                            0x1872, 0xE139, 0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};
constexpr std::uint16_t kXorMatrix[105] = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7, 0x9DCF, 0x2BBF,
    0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4, 0x1BA8, 0x3750, 0x6EA0, 0xDD40,
    0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45, 0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A,
    0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC, 0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0,
    0xB861, 0x60E3, 0xC1C6, 0x93AD, 0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10,
    0xAA51, 0x4483, 0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373, 0x06E6, 0x0DCC,
    0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};

std::uint8_t RotateRight1(std::uint8_t v) { return static_cast<std::uint8_t>((v >> 1) | (v << 7)); }
std::uint8_t XorRor(std::uint8_t a, std::uint8_t b) { return RotateRight1(static_cast<std::uint8_t>(a ^ b)); }

std::string_view Clamp(std::string_view password) { return password.substr(0, 15); }

}  // namespace

std::uint16_t XorPasswordVerifier(std::string_view password) {
    password = Clamp(password);
    std::uint16_t verifier = 0;
    // The bytes are the length followed by the password, taken last to first.
    auto step = [&](std::uint8_t b) {
        const std::uint16_t high = (verifier & 0x4000) ? 1 : 0;
        verifier = static_cast<std::uint16_t>((((verifier << 1) & 0x7FFF) | high) ^ b);
    };
    for (auto it = password.rbegin(); it != password.rend(); ++it) step(static_cast<std::uint8_t>(*it));
    step(static_cast<std::uint8_t>(password.size()));
    return static_cast<std::uint16_t>(verifier ^ 0xCE4B);
}

std::uint16_t XorKey(std::string_view password) {
    password = Clamp(password);
    if (password.empty()) return 0;
    std::uint16_t key = kInitialCode[password.size() - 1];
    int element = 104;
    for (auto it = password.rbegin(); it != password.rend(); ++it) {
        auto c = static_cast<std::uint8_t>(*it);
        for (int bit = 0; bit < 7; ++bit, --element) {
            if (c & 0x40) key ^= kXorMatrix[element];
            c = static_cast<std::uint8_t>(c << 1);
        }
    }
    return key;
}

std::array<std::uint8_t, 16> XorArray(std::string_view password) {
    password = Clamp(password);
    std::array<std::uint8_t, 16> out{};
    if (password.empty()) return out;
    const std::uint16_t key = XorKey(password);
    const auto high = static_cast<std::uint8_t>(key >> 8);
    const auto low = static_cast<std::uint8_t>(key & 0xFF);
    // Signed indexes: the padding loop steps past zero when the password length is even.
    int index = static_cast<int>(password.size());
    auto put = [&](int at, std::uint8_t value, std::uint8_t keyByte) { out[static_cast<std::size_t>(at)] = XorRor(value, keyByte); };
    auto passwordByte = [&](int at) { return static_cast<std::uint8_t>(password[static_cast<std::size_t>(at)]); };
    if (index % 2 == 1) {
        put(index, kPad[0], high);
        --index;
        put(index, passwordByte(index), low);
    }
    while (index > 0) {
        --index;
        put(index, passwordByte(index), high);
        --index;
        put(index, passwordByte(index), low);
    }
    int at = 15;
    int pad = 15 - static_cast<int>(password.size());
    while (pad > 0) {
        put(at, kPad[pad], high);
        --at;
        --pad;
        put(at, kPad[pad], low);
        --at;
        --pad;
    }
    return out;
}

}  // namespace tessaly::analysis::crypto
