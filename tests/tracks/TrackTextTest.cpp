// The digest and the XML text rules the tracks and evidence packages rest on: published
// SHA-256 vectors fed whole and in uneven pieces, and XML text that any parser accepts.
#include "tracks/Sha256.h"
#include "tracks/TrackXml.h"

#include <gtest/gtest.h>

namespace kirvano {
namespace {

TEST(Sha256, PublishedVectorsWholeAndInPieces) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {std::string(64, 'x'), "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Sha256Hex(c.message), c.digest) << c.message.size();
        Sha256 pieces;
        for (std::size_t at = 0, step = 1; at < c.message.size();
             at += step, step = step * 3 % 97 + 1)
            pieces.update(std::string_view(c.message).substr(at, step));
        EXPECT_EQ(pieces.finishHex(), c.digest) << c.message.size();
    }
}

TEST(XmlText, EscapesMarkupAndReplacesWhatXmlCannotHold) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"a&b<c>\"d'", "a&amp;b&lt;c&gt;&quot;d&apos;"},
        {"急ハンドル", "急ハンドル"},
        {std::string("x\x01y\x7Fz", 5), "x\xEF\xBF\xBDy\x7Fz"},
        {"tab\tnl\n", "tab\tnl\n"},
        {"\xC3", "\xEF\xBF\xBD"},                                 // cut sequence
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                 // overlong
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // surrogate
        {"\xEF\xBF\xBE", "\xEF\xBF\xBD"},                         // U+FFFE
        {std::string("a\0b", 3), "a\xEF\xBF\xBD"
                                 "b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XmlText(c.in), c.out) << c.in;
}

} // namespace
} // namespace kirvano
