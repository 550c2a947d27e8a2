// The cipher and hash primitives against their published test vectors (RFC 1321, FIPS 180-4
// examples, RFC 2202/4231, RFC 6229, FIPS 197 appendix C, SP 800-38A, RFC 4648), and the XOR
// obfuscation verifier against its published worked example.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/Aes.h"
#include "crypto/Base64.h"
#include "crypto/Hash.h"
#include "crypto/Rc4.h"
#include "crypto/XorObfuscation.h"

using namespace tessaly::analysis::crypto;

namespace {

std::vector<std::uint8_t> Ascii(std::string_view s) { return {s.begin(), s.end()}; }

std::vector<std::uint8_t> FromHex(std::string_view hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return out;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

std::string HashHex(HashKind kind, std::string_view text) { return Hex(Digest(kind, {Ascii(text)})); }

TEST(CryptoHash, Md5MatchesTheRfcSuite) {
    EXPECT_EQ(HashHex(HashKind::kMd5, ""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(HashHex(HashKind::kMd5, "abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(HashHex(HashKind::kMd5, "message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(HashHex(HashKind::kMd5, "12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(CryptoHash, ShaFamilyMatchesTheStandardExamples) {
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(HashHex(HashKind::kSha1, "abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(HashHex(HashKind::kSha1, twoBlocks), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(HashHex(HashKind::kSha256, "abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(HashHex(HashKind::kSha256, twoBlocks), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(HashHex(HashKind::kSha384, "abc"),
              "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7");
    EXPECT_EQ(HashHex(HashKind::kSha512, "abc"),
              "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
    EXPECT_EQ(HashHex(HashKind::kSha512, ""),
              "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e");
}

TEST(CryptoHash, IncrementalInputMatchesOneShotAcrossBlockBoundaries) {
    // A million 'a' fed in uneven pieces, so partial blocks and the padding block both occur.
    const std::vector<std::uint8_t> piece(997, 'a');
    for (HashKind kind : {HashKind::kSha1, HashKind::kSha512}) {
        Hasher h(kind);
        std::size_t fed = 0;
        while (fed + piece.size() <= 1000000) {
            h.Update(piece);
            fed += piece.size();
        }
        h.Update(std::vector<std::uint8_t>(1000000 - fed, 'a'));
        const std::string expected = kind == HashKind::kSha1
                                         ? "34aa973cd4c4daa4f61eeb2bdbad27316534016f"
                                         : "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b";
        EXPECT_EQ(Hex(h.Finish()), expected);
    }
    // Lengths around the padding boundary (55, 56, 63, 64 for 64-byte blocks; 111-128 for SHA-512).
    for (std::size_t n : {55u, 56u, 63u, 64u, 111u, 112u, 127u, 128u}) {
        const std::vector<std::uint8_t> data(n, 0x61);
        Hasher split(HashKind::kSha512);
        split.Update(std::span(data).first(n / 3));
        split.Update(std::span(data).subspan(n / 3));
        EXPECT_EQ(split.Finish(), Digest(HashKind::kSha512, {data})) << n;
    }
}

TEST(CryptoHash, HmacMatchesTheRfcCases) {
    // RFC 4231 case 2 and RFC 2202 case 2 ("Jefe").
    const auto key = Ascii("Jefe");
    const auto message = Ascii("what do ya want for nothing?");
    EXPECT_EQ(Hex(Hmac(HashKind::kSha256, key, message)), "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    EXPECT_EQ(Hex(Hmac(HashKind::kSha512, key, message)),
              "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea2505549758bf75c05a994a6d034f65f8f0e6fdcaeab1a34d4a6b4b636e070a38bce737");
    EXPECT_EQ(Hex(Hmac(HashKind::kSha1, key, message)), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
    EXPECT_EQ(Hex(Hmac(HashKind::kMd5, key, message)), "750c783e6ab0b503eaa86e310a5db738");
    // RFC 4231 case 6: a key longer than the block is hashed first.
    const std::vector<std::uint8_t> longKey(131, 0xAA);
    EXPECT_EQ(Hex(Hmac(HashKind::kSha512, longKey, Ascii("Test Using Larger Than Block-Size Key - Hash Key First"))),
              "80b24263c7c1a3ebb71493c1dd7be8b49b46d1f41b4aeec1121b013783f8f3526b56d037e05f2598bd0fd2215d6a1e5295e64f73f63f0aec8b915a985d786598");
}

TEST(CryptoRc4, MatchesRfc6229AtSeveralOffsets) {
    // Key 0x0102030405: key stream at offsets 0, 16, 240 and 4096.
    Rc4 rc4(FromHex("0102030405"));
    std::vector<std::uint8_t> stream(4112, 0);
    rc4.Apply(stream);
    EXPECT_EQ(Hex({stream.begin(), stream.begin() + 16}), "b2396305f03dc027ccc3524a0a1118a8");
    EXPECT_EQ(Hex({stream.begin() + 16, stream.begin() + 32}), "6982944f18fc82d589c403a47a0d0919");
    EXPECT_EQ(Hex({stream.begin() + 240, stream.begin() + 256}), "28cb1132c96ce286421dcaadb8b69eae");
    EXPECT_EQ(Hex({stream.begin() + 4096, stream.begin() + 4112}), "ff25b58995996707e51fbdf08b34d875");
    // Skipping is the same as generating and dropping.
    Rc4 skipper(FromHex("0102030405"));
    skipper.Skip(240);
    std::vector<std::uint8_t> at240(16, 0);
    skipper.Apply(at240);
    EXPECT_EQ(Hex(at240), "28cb1132c96ce286421dcaadb8b69eae");
}

TEST(CryptoAes, MatchesFips197ForEveryKeySize) {
    const auto plain = FromHex("00112233445566778899aabbccddeeff");
    const struct {
        const char* key;
        const char* cipher;
    } cases[] = {
        {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "8ea2b7ca516745bfeafc49904b496089"},
    };
    for (const auto& c : cases) {
        Aes aes(FromHex(c.key));
        ASSERT_TRUE(aes.ok());
        auto block = plain;
        ASSERT_TRUE(aes.EncryptEcb(block));
        EXPECT_EQ(Hex(block), c.cipher);
        ASSERT_TRUE(aes.DecryptEcb(block));
        EXPECT_EQ(block, plain);
    }
    EXPECT_FALSE(Aes(FromHex("0001020304")).ok());
    auto odd = plain;
    odd.pop_back();
    EXPECT_FALSE(Aes(FromHex(cases[0].key)).DecryptEcb(odd));
}

TEST(CryptoAes, CbcMatchesSp80038a) {
    const auto iv = FromHex("000102030405060708090a0b0c0d0e0f");
    const auto plain = FromHex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                               "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
    const struct {
        const char* key;
        const char* cipher;
    } cases[] = {
        {"2b7e151628aed2a6abf7158809cf4f3c",
         "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b273bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7"},
        {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
         "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"},
    };
    for (const auto& c : cases) {
        Aes aes(FromHex(c.key));
        auto data = plain;
        ASSERT_TRUE(aes.EncryptCbc(data, std::span<const std::uint8_t, 16>(iv.data(), 16)));
        EXPECT_EQ(Hex(data), c.cipher);
        ASSERT_TRUE(aes.DecryptCbc(data, std::span<const std::uint8_t, 16>(iv.data(), 16)));
        EXPECT_EQ(data, plain);
    }
}

TEST(CryptoBase64, RoundTripsTheRfcVectorsAndRejectsJunk) {
    const char* encoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    const char* decoded[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(Base64Encode(Ascii(decoded[i])), encoded[i]);
        EXPECT_EQ(Base64Decode(encoded[i]), Ascii(decoded[i]));
    }
    EXPECT_EQ(Base64Decode("Zm9v\r\n YmFy"), Ascii("foobar"));
    EXPECT_FALSE(Base64Decode("Zm9"));
    EXPECT_FALSE(Base64Decode("Zm9v!"));
    EXPECT_FALSE(Base64Decode("Zg==Zg=="));
    EXPECT_FALSE(Base64Decode("Z==="));
}

TEST(CryptoXor, VerifierMatchesThePublishedExampleAndArrayInverts) {
    // The worked example of the Excel password hash: "abcdefghij" gives 0xFEF1.
    EXPECT_EQ(XorPasswordVerifier("abcdefghij"), 0xFEF1);
    for (std::string_view password : {"VelvetSweatshop", "pass", "a", "1234567890abcd"}) {
        const auto array = XorArray(password);
        for (int value = 0; value < 256; ++value)
            for (std::uint8_t k : {array[0], array[7], array[15]})
                ASSERT_EQ(XorDecryptByte(XorEncryptByte(static_cast<std::uint8_t>(value), k), k), value);
    }
    EXPECT_NE(XorKey("VelvetSweatshop"), XorKey("VelvetSweatshoq"));
}

}  // namespace
