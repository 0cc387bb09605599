// Parsing and filtering of extra fields: ZIP64 detection and the rule that
// keeps Unicode Path and Unicode Comment fields truthful.
#include <gtest/gtest.h>

#include <string>

#include "archive/crc32.h"
#include "rewrite/extra_fields.h"
#include "support/tool_run.h"
#include "support/zip_builder.h"

namespace {

std::string Field(uint16_t id, const std::string& data) {
    std::string field(4, '\0');
    PutLe16(field, 0, id);
    PutLe16(field, 2, static_cast<uint16_t>(data.size()));
    return field + data;
}

std::string UnicodeData(uint8_t version, uint32_t crc, const std::string& text) {
    std::string data(5, '\0');
    data[0] = static_cast<char>(version);
    PutLe32(data, 1, crc);
    return data + text;
}

const uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

UnicodeFieldRule Rule(const std::string& stored, const std::string* utf8) {
    UnicodeFieldRule rule{};
    rule.applies = 1;
    rule.stored = Bytes(stored);
    rule.storedLength = stored.size();
    rule.utf8 = utf8 ? Bytes(*utf8) : nullptr;
    rule.utf8Length = utf8 ? utf8->size() : 0;
    return rule;
}

std::string Filter(std::string extra, const UnicodeFieldRule& name,
                   const UnicodeFieldRule& comment) {
    auto* bytes = reinterpret_cast<uint8_t*>(extra.data());
    size_t kept = FilterUnicodeFields(bytes, extra.size(), name, comment, bytes);
    return extra.substr(0, kept);
}

const UnicodeFieldRule NoRule{};

TEST(ExtraFields, FindsAFieldAmongOthersButNotInsideOne) {
    std::string extra = Field(0x000A, "1234") + Field(0x0001, std::string(8, '\0'));
    EXPECT_TRUE(ExtraHasField(Bytes(extra), extra.size(), 0x0001));
    std::string hidden = Field(0x000A, Field(0x0001, "12345678"));
    EXPECT_FALSE(ExtraHasField(Bytes(hidden), hidden.size(), 0x0001));
    std::string cut = Field(0x000A, "1234").substr(0, 6);
    EXPECT_FALSE(ExtraHasField(Bytes(cut), cut.size(), 0x000A));
}

TEST(ExtraFields, KeepsAMatchingUnicodePathWithTheNewCrc) {
    const std::string stored = "\x82\xA0";
    const std::string utf8 = "\xE3\x81\x82";
    std::string extra = Field(0x5455, "t") + Field(0x7075, UnicodeData(1, 0xDEADBEEF, utf8));
    uint32_t crc = Crc32(0, stored.data(), stored.size());
    EXPECT_EQ(Hex(Filter(extra, Rule(stored, &utf8), NoRule)),
              Hex(Field(0x5455, "t") + Field(0x7075, UnicodeData(1, crc, utf8))));
}

TEST(ExtraFields, DropsUnicodeFieldsThatDoNotMatchOrCannotBeRead) {
    const std::string stored = "name";
    const std::string utf8 = "name";
    std::string other = Field(0x000A, "xy");
    EXPECT_EQ(
        Filter(Field(0x7075, UnicodeData(1, 0, "other")) + other, Rule(stored, &utf8), NoRule),
        other);
    EXPECT_EQ(Filter(Field(0x7075, UnicodeData(2, 0, "name")) + other, Rule(stored, &utf8), NoRule),
              other)
        << "unknown version";
    EXPECT_EQ(Filter(Field(0x7075, "abc") + other, Rule(stored, &utf8), NoRule), other)
        << "too short to hold version and CRC";
    EXPECT_EQ(
        Filter(Field(0x7075, UnicodeData(1, 0, "name")) + other, Rule(stored, nullptr), NoRule),
        other)
        << "the new name has no UTF-8 form";
}

TEST(ExtraFields, AppliesEachRuleToItsOwnField) {
    const std::string name = "n";
    const std::string comment = "c";
    std::string pathField = Field(0x7075, UnicodeData(1, 0, "n"));
    std::string commentField = Field(0x6375, UnicodeData(1, 0, "stale"));
    std::string kept = Filter(pathField + commentField, Rule(name, &name), Rule(comment, &comment));
    uint32_t crc = Crc32(0, "n", 1);
    EXPECT_EQ(Hex(kept), Hex(Field(0x7075, UnicodeData(1, crc, "n"))));
    EXPECT_EQ(Filter(pathField + commentField, NoRule, NoRule), pathField + commentField)
        << "texts that are not rewritten keep their fields";
}

TEST(ExtraFields, KeepsBytesAfterAFieldThatRunsPastTheEnd) {
    const std::string stored = "n";
    std::string extra =
        Field(0x7075, UnicodeData(1, 0, "x")) + std::string("\x0A\x00\x09\x00zz", 6);
    EXPECT_EQ(Filter(extra, Rule(stored, &stored), NoRule), std::string("\x0A\x00\x09\x00zz", 6));
}

}  // namespace
