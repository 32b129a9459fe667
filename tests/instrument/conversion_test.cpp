// The worked examples of the analysis help page, one per data conversion,
// and the edges of each family of conversions.
#include "instrument/conversion.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support.h"

namespace sf {
namespace {

using test::bytes;

struct Example {
    int conversion;
    test::Bytes in;
    test::Bytes out;
};

test::Bytes hexBytes(const std::string& text) {
    test::Bytes out;
    std::istringstream in(text);
    std::string word;
    while (in >> word) out.push_back(static_cast<std::uint8_t>(std::stoi(word, nullptr, 16)));
    return out;
}

// The worked examples of the help page of the analysis: one table row per
// conversion, <tr data-conversion="N">, bytes in and out in <code>.
std::vector<Example> helpPageExamples() {
    std::ifstream page(std::string(SF_SOURCE_DIR) + "/src/gui/resources/help/2031.html");
    const std::string html((std::istreambuf_iterator<char>(page)),
                           std::istreambuf_iterator<char>());
    const std::regex row(
        R"re(data-conversion="(\d+)".*?<code>([^<]*)</code>.*?<code>([^<]*)</code>)re");
    std::vector<Example> out;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), row);
         it != std::sregex_iterator(); ++it)
        out.push_back({std::stoi((*it)[1]), hexBytes((*it)[2]), hexBytes((*it)[3])});
    return out;
}

TEST(Conversion, HelpPageExamples) {
    const auto examples = helpPageExamples();
    std::set<int> seen;
    for (const auto& e : examples) {
        seen.insert(e.conversion);
        const auto d = decodeData(e.conversion, e.in);
        EXPECT_EQ(d.bytes, e.out) << "conversion " << e.conversion;
        EXPECT_EQ(d.leftover, 0u);
        EXPECT_EQ(d.badBytes, 0u);
        EXPECT_EQ(decodedSize(e.conversion, e.in.size()), e.out.size());
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kDataConversions));  // one example each
    EXPECT_EQ(examples.size(), seen.size());
}

TEST(Conversion, ShortLastGroupsAndLeftovers) {
    // 7-in-8 groups may end short: k bytes and their msb byte, or k groups of 7 bits.
    EXPECT_EQ(decodeData(1, bytes({0x7F, 0x00, 0x01})).bytes, bytes({0xFF, 0x00}));
    EXPECT_EQ(decodeData(6, bytes({0x55, 0x40})).bytes, bytes({0xAB}));
    EXPECT_EQ(decodeData(10, bytes({0x2B, 0x01})).bytes, bytes({0xAB}));
    const auto lone = decodeData(1, bytes({1, 2, 3, 4, 5, 6, 7, 0, 9}));
    EXPECT_EQ(lone.bytes.size(), 7u);
    EXPECT_EQ(lone.leftover, 1u);
    EXPECT_EQ(decodedSize(1, 9), 7u);
    EXPECT_EQ(decodeData(2, bytes({1, 2, 3})).leftover, 1u);
    EXPECT_EQ(decodeData(3, bytes({1, 2, 3})).bytes.size(), 2u);
    // Not a hexadecimal digit: reported where it lies, decoded as 0.
    const auto hex = decodeData(4, bytes({'4', '1', 'G', '2'}));
    EXPECT_EQ(hex.bytes, bytes({0x41, 0x02}));
    EXPECT_EQ(hex.badBytes, 1u);
    EXPECT_EQ(hex.firstBad, 2u);
    // A damaged source's unknown conversion decodes nothing.
    EXPECT_EQ(decodeData(11, bytes({1, 2})).leftover, 2u);
}

TEST(Conversion, EncodedRangeCoversTheDecodedBytes) {
    const struct {
        int conversion;
        std::size_t from, to, first, last;
    } cases[] = {
        {1, 2, 5, 2, 8},  // bytes of a msb-last group and the group's msb byte 7
        {1, 7, 8, 8, 16}, {2, 3, 5, 6, 10},
        {6, 1, 2, 1, 3},  // bit streams: decoded byte 1 is bits 8..15, in 7-bit groups 1 and 2
        {10, 6, 7, 6, 8}, {3, 1, 2, 0, 2},
    };
    for (const auto& c : cases) {
        const auto r = encodedRange(c.conversion, c.from, c.to);
        EXPECT_EQ(std::pair(r.first, r.last), std::pair(c.first, c.last))
            << c.conversion << ": " << c.from << ".." << c.to;
    }
}

}  // namespace
}  // namespace sf
