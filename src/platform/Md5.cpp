#include "platform/Md5.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include "platform/TextCodec.h"

namespace orvanta {
namespace {

// Digests run on pool threads that live until the program ends. The library's own clean-up at
// exit would otherwise run before those threads are joined and leave their per-thread state
// behind, never freed; without it, that state is freed as each thread ends.
void prepareDigests() {
    static const bool prepared = OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) == 1;
    static_cast<void>(prepared);
}

}  // namespace

Md5Value md5(std::string_view bytes) {
    prepareDigests();
    Md5Value out{};
    unsigned int length = 0;
    // EVP_Digest keeps its context private to the call, so concurrent exchanges never share
    // MD5 state.
    if (EVP_Digest(bytes.data(), bytes.size(), out.data(), &length, EVP_md5(), nullptr) != 1 ||
        length != out.size()) {
        out.fill(0);
    }
    return out;
}

std::string toHexUpper(const Md5Value& value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(32);
    for (std::uint8_t b : value) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

std::string md5Hex(std::string_view bytes) {
    return toHexUpper(md5(bytes));
}

std::string passwordLowBytes(std::string_view password) {
    std::string bytes;
    for (char16_t unit : utf8ToUtf16(password)) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
    }
    return bytes;
}

std::string challengeDigest(std::string_view greeting, std::string_view password) {
    std::string input(8, '\0');
    greeting.substr(0, 8).copy(input.data(), 8);
    input += passwordLowBytes(password);
    input.resize(input.find('\0') == std::string::npos ? input.size() : input.find('\0'));
    return md5Hex(input);
}

}  // namespace orvanta
