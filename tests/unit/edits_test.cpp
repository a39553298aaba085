// Edits: every edit raised by a record and left out for a record near it,
// what each edit carries, and the texts front ends write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmg290/cmg290.h"
#include "cmg290/edits.h"
#include "edits/code_shapes.h"
#include "record_builder.h"

namespace {

using cmg290::EditCode;
using cmg290::Edits;
using cmg290::test::RecordBuilder;

Edits edits_of(const std::string& record) {
  Edits edits;
  cmg290::find_edits(record, cmg290::group(record), edits);
  return edits;
}

std::vector<std::string> codes_of(const Edits& edits) {
  std::vector<std::string> codes;
  for (const cmg290::Edit& e : edits) codes.emplace_back(e.code());
  return codes;
}

const cmg290::Edit* first(const Edits& edits, EditCode id) {
  for (const cmg290::Edit& e : edits) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

RecordBuilder v290() {
  return RecordBuilder::valid();
}
RecordBuilder v260() {
  return RecordBuilder::valid().versionDate("20120601").ageDate("20120601");
}
RecordBuilder v282() {
  return RecordBuilder::valid().versionDate("20160101").ageDate("20160101");
}

struct Case {
  const char* what;
  EditCode id;
  std::string raises;   // a record that raises the edit
  std::string nearby;   // one like it that does not
  const char* field;    // the edit's field, "" for the record
  std::string value;    // its value
  const char* message;  // a part of its message
};

std::vector<Case> cases() {
  const std::string whole = v290().str();
  return {
      {"short record", EditCode::ShortRecord, whole.substr(0, 1200), whole, "", "",
       "the record has 1200 characters, fewer than 1251: positions 1201 to 1251"},
      {"byte 0x80 in a code", EditCode::UnreadableByte, v290().comorbid(2, "I10.\x80").str(),
       v290().comorbid(2, "I10.^^^^").str(), "comorbid_code_2", "I10.\x80",
       "byte 0x80 at position 766 is not printable ASCII"},
      {"zero byte in an item", EditCode::UnreadableByte,
       v290().motor(1, std::string("\0"
                                   "4",
                                   2)),
       v290().motor(1, " 4"), "motor_item_1",
       std::string("\0"
                   "4",
                   2),
       "byte 0x00 at position 882"},
      {"DEL in an item", EditCode::UnreadableByte,
       v290().motor(1,
                    "\x7f"
                    "4"),
       v290().motor(1, "~4"), "motor_item_1",
       "\x7f"
       "4",
       "byte 0x7f at position 882"},
      {"DEL in the record kind", EditCode::UnreadableByte, v290().kind("\x7f"), v290().kind("~"),
       "record_kind", "\x7f", "byte 0x7f at position 11"},
      {"DEL in a late cell", EditCode::UnreadableByte, v290().comorbid(20, "I10.\x7f"),
       v290().comorbid(20, "I10.~"), "comorbid_code_20", "I10.\x7f", "byte 0x7f at position 1208"},
      {"29 February 1900", EditCode::DateInvalid, v290().birthDate("19000229"),
       v290().birthDate("20000229"), "birth_date", "19000229", "not a calendar date"},
      {"blank day of the age date", EditCode::DateInvalid, v290().ageDate("202003  "),
       v290().birthDate("195003  "), "age_date", "202003", "not a calendar date"},
      {"blank day of the version date", EditCode::DateInvalid, v290().versionDate("202003  "),
       v290().birthDate("195003  "), "version_date", "202003", "not a calendar date"},
      {"30 February", EditCode::DateInvalid, v290().versionDate("20230230"),
       v290().versionDate("20240229"), "version_date", "20230230",
       "\"20230230\" is not a calendar date (YYYYMMDD)"},
      {"month 13", EditCode::DateInvalid, v290().ageDate("20201301").versionDate("20210101"),
       v290().ageDate("20201201").versionDate("20210101"), "age_date", "20201301",
       "not a calendar date"},
      {"blank month and 31st", EditCode::DateInvalid, v290().birthDate("1950  31"),
       v290().birthDate("1950  30"), "birth_date", "1950  31",
       "the month and the day may be blank"},
      {"one blank in the month", EditCode::DateInvalid, v290().birthDate("1950 3  "),
       v290().birthDate("1950    "), "birth_date", "1950 3", "calendar date"},
      {"letters", EditCode::DateInvalid, v290().ageDate("2020O310"), v290().ageDate("20200310"),
       "age_date", "2020O310", "calendar date"},
      {"age date after version date", EditCode::AgeDateAfterVersionDate, v290().ageDate("20200316"),
       v290().ageDate("20200315"), "age_date", "20200316",
       "the age date 20200316 is after the version date 20200315"},
      {"impairment group from the first character", EditCode::ImpairmentGroupForm,
       v290().impairment("01.1"), v290().impairment("  01.1"), "impairment_group", "01.1",
       "\"01.1\" is, with RIC 01"},
      {"impairment group without its zero", EditCode::ImpairmentGroupForm,
       v290().impairment("  1.1"), v290().impairment("  01.1"), "impairment_group", "  1.1",
       "the impairment group is \"1.1\", which is not in the table; \"01.1\" is"},
      {"ICD-10 code without dot and filler", EditCode::ComorbidCodeForm,
       v290().comorbid(1, "J3801"), v290().comorbid(1, "J38.01^^"), "comorbid_code_1", "J3801",
       "table version 2.90 compares \"J38.01^^\", which is on its lists; written so, the tier "
       "would be B instead of A"},
      {"ICD-10 code in small letters", EditCode::ComorbidCodeForm, v290().comorbid(4, "j38.01^^"),
       v290().comorbid(4, "J38.02^^"), "comorbid_code_4", "j38.01^^", "\"J38.01^^\""},
      {"pair-list code without its dot", EditCode::ComorbidCodeForm, v290().comorbid(1, "E088"),
       v290().comorbid(1, "E08.8^^^"), "comorbid_code_1", "E088", "compares \"E08.8^^^\""},
      {"code dropped in 2.90 without its dot", EditCode::ComorbidCodeForm,
       v282().comorbid(1, "J985"), v290().comorbid(1, "J985"), "comorbid_code_1", "J985",
       "table version 2.82 compares \"J98.5^^^\""},
      {"ICD-9 code without its dot", EditCode::ComorbidCodeForm, v260().comorbid(1, "47831"),
       v260().comorbid(1, "478.31"), "comorbid_code_1", "47831",
       "table version 2.60 compares \"478.31\""},
      {"ICD-9 code in an ICD-10 version", EditCode::ComorbidCodeFamily,
       v290().comorbid(1, "478.31"), v260().comorbid(1, "478.31"), "comorbid_code_1", "478.31",
       "\"478.31\" is an ICD-9-CM code, but table version 2.90 compares ICD-10-CM codes"},
      {"ICD-10 code in an ICD-9 version", EditCode::ComorbidCodeFamily,
       v260().comorbid(1, "J38.01^^"), v290().comorbid(1, "J38.01^^"), "comorbid_code_1",
       "J38.01^^", "is an ICD-10-CM code, but table version 2.60 compares ICD-9-CM codes"},
      {"no code at all", EditCode::ComorbidCodeShape, v290().comorbid(1, "XYZ"),
       v290().comorbid(1, "I10"), "comorbid_code_1", "XYZ",
       "shaped like neither an ICD-9-CM nor an ICD-10-CM code"},
      {"a code twice", EditCode::ComorbidCodeRepeated,
       v290().comorbid(1, "I10.^^^^").comorbid(3, "I10.^^^^"),
       v290().comorbid(1, "I10.^^^^").comorbid(3, "E78.5^^^"), "comorbid_code_3", "I10.^^^^",
       "\"I10.^^^^\" is also in comorbid_code_1"},
      {"a code in cell 11 of 2.60", EditCode::ComorbidCodeUnread, v260().comorbid(11, "401.9"),
       v260().comorbid(10, "401.9"), "comorbid_code_11", "401.9",
       "table version 2.60 reads comorbid codes 1 to 10 only"},
      {"a code after the end mark", EditCode::ComorbidCodeUnread,
       v290().comorbid(1, "^^^^^^^^").comorbid(2, "I10.^^^^"),
       v290().comorbid(2, "^^^^^^^^").comorbid(1, "I10.^^^^"), "comorbid_code_2", "I10.^^^^",
       "stops at comorbid_code_1, which begins with \"^\""},
      {"a code after two end marks", EditCode::ComorbidCodeUnread,
       v290().comorbid(3, "^^^^^^^^").comorbid(6, "^").comorbid(8, "I10.^^^^"),
       v290().comorbid(3, "^^^^^^^^").comorbid(6, "^").comorbid(2, "I10.^^^^"), "comorbid_code_8",
       "I10.^^^^", "stops at comorbid_code_3,"},
      {"item 88", EditCode::ItemValue, v290().motor(3, "88"), v290().motor(3, "07"), "motor_item_3",
       "88", "\"88\" is neither blank nor a value from 0 to 7; it counts as 88"},
      {"item -1", EditCode::ItemValue, v290().cognitive(2, "-1"), v290().cognitive(2, " 1"),
       "cognitive_item_2", "-1", "it counts as -1"},
      {"item x", EditCode::ItemValue, v290().motor(10, "x "), v290().motor(10, "7 "),
       "motor_item_10", "x", "it counts as 2"},
      {"no CMG row", EditCode::NoCmgRow, v290().allMotor("-9"), v290().allMotor("01"), "", "A",
       "no CMG row of RIC 01 holds motor score -108.0, cognitive score 20 and age 70"},
  };
}

TEST(Edits, EachIsRaisedByItsRecordAndNotByTheOneNearIt) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.what);
    const Edits raised = edits_of(c.raises);
    const cmg290::Edit* e = first(raised, c.id);
    ASSERT_NE(e, nullptr) << ::testing::PrintToString(codes_of(raised));
    EXPECT_EQ(e->field_name(), c.field);
    EXPECT_EQ(e->value_text(), c.value);
    EXPECT_NE(cmg290::edit_message(*e).find(c.message), std::string::npos)
        << cmg290::edit_message(*e);
    EXPECT_FALSE(edits_of(c.nearby).has(c.id))
        << ::testing::PrintToString(codes_of(edits_of(c.nearby)));
  }
}

TEST(Edits, CleanRecordsAndRecordsThatAreNotGroupedHaveNone) {
  EXPECT_TRUE(edits_of(v290()).empty());
  EXPECT_TRUE(edits_of(v260().comorbid(1, "478.31").comorbid(2, "401.9")).empty());
  // Blank and single-digit items, blank birth month and day, a list ended
  // by "^" with nothing after it.
  EXPECT_TRUE(edits_of(v290()
                           .motor(1, "  ")
                           .motor(2, " 5")
                           .motor(3, "5 ")
                           .birthDate("1950    ")
                           .comorbid(1, "J38.01^^")
                           .comorbid(2, "^^^^^^^^"))
                  .empty());
  // Shaped like codes of both families and on no list; a code of 2.82 only.
  EXPECT_TRUE(edits_of(v290().comorbid(1, "E9999").comorbid(2, "J985")).empty());
  // Stopped before the impairment check: its form is not looked at.
  EXPECT_EQ(codes_of(edits_of(v290().birthDate("2020 3  ").impairment("01.1"))),
            std::vector<std::string>{"date-invalid"});
  // Status 1 and 2: not checked at all.
  EXPECT_TRUE(edits_of(v290().id("IRF-PAJ").motor(1, "88").str().substr(0, 900)).empty());
  EXPECT_TRUE(edits_of(v290().kind("3").motor(1, "88")).empty());
  // Status 3 still checks the fields, not the codes (no table version).
  const Edits early = edits_of(v290().versionDate("20091301").motor(1, "88").comorbid(1, "XYZ"));
  EXPECT_EQ(codes_of(early), (std::vector<std::string>{"date-invalid", "item-value"}));
}

TEST(Edits, SeverityFieldAndValueFollowTheCatalogue) {
  for (const cmg290::EditInfo& info : cmg290::kEditCatalogue) {
    EXPECT_EQ(cmg290::find_edit(info.code), &info);
    EXPECT_EQ(&cmg290::edit_info(info.id), &info);
  }
  EXPECT_EQ(cmg290::find_edit("no-such-edit"), nullptr);
  EXPECT_EQ(cmg290::edit_info(EditCode::ComorbidCodeForm).severity, cmg290::EditSeverity::Error);
  EXPECT_EQ(cmg290::edit_info(EditCode::ShortRecord).severity, cmg290::EditSeverity::Warning);
}

TEST(Edits, FormEditNamesTheTierTheFormGives) {
  // RIC 15 is excluded from the B row of J38.01: the tier stays A.
  const Edits excluded = edits_of(v290().impairment("  10.1").comorbid(1, "J3801"));
  const cmg290::Edit* e = first(excluded, EditCode::ComorbidCodeForm);
  ASSERT_NE(e, nullptr);
  EXPECT_NE(cmg290::edit_message(*e).find("the tier would still be A"), std::string::npos)
      << cmg290::edit_message(*e);
  // Not grouped (status 6): the form, without a tier.
  const Edits ungrouped = edits_of(v290().ageDate("19400101").comorbid(1, "J3801"));
  e = first(ungrouped, EditCode::ComorbidCodeForm);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(cmg290::edit_message(*e).find("tier"), std::string::npos);
}

TEST(Edits, AFieldRaisesAtMostTwoEvenWhenEverythingIsWrong) {
  RecordBuilder b = v290()
                        .versionDate(
                            "2023\x01"
                            "230")
                        .birthDate("\x80\x80")
                        .ageDate("x");
  b.impairment("\x7f\x7f");
  for (int k = 1; k <= 25; ++k) b.comorbid(k, k % 2 ? "J3801\x80" : "J3801");
  b.allMotor(
       "\xff"
       "9")
      .allCognitive("\t-");
  const std::string record = b.str().substr(0, 1250);
  Edits edits;
  cmg290::find_edits(record, cmg290::group(record), edits);
  EXPECT_LT(edits.count, Edits::kCapacity);
  std::vector<int> perField(cmg290::kRecordFieldCount);
  for (const cmg290::Edit& e : edits) {
    if (e.field >= 0) {
      EXPECT_LE(++perField[e.field], 2) << e.field_name();
    }
  }
}

TEST(Edits, CodesAndJsonForFrontEnds) {
  const Edits edits = edits_of(v290().motor(3, "88").comorbid(1, "J3801").str().substr(0, 1240));
  std::string codes(cmg290::edit_codes_room(edits), '\0');
  codes.resize(cmg290::write_edit_codes(codes.data(), edits) - codes.data());
  EXPECT_EQ(codes, "short-record;comorbid-code-form;item-value;no-cmg-row");

  std::string json(cmg290::edits_json_room(edits), '\0');
  json.resize(cmg290::write_edits_json(json.data(), edits) - json.data());
  EXPECT_EQ(json.rfind("[{\"code\":\"short-record\",\"severity\":\"warning\",\"field\":null,"
                       "\"value\":\"\",\"message\":\"the record has 1240 characters",
                       0),
            0U)
      << json;
  EXPECT_NE(json.find("{\"code\":\"item-value\",\"severity\":\"error\",\"field\":\"motor_item_3\","
                      "\"value\":\"88\",\"message\":\"\\\"88\\\" is neither"),
            std::string::npos)
      << json;
  EXPECT_EQ(json.back(), ']');

  const Edits none = edits_of(v290());
  char out[4];
  EXPECT_EQ(cmg290::write_edit_codes(out, none), out);
  EXPECT_EQ(std::string(out, cmg290::write_edits_json(out, none)), "[]");

  // Bytes of any kind stay valid JSON.
  const Edits odd = edits_of(v290().comorbid(1, "\"\\\x01\xe9"));
  std::string oddJson(cmg290::edits_json_room(odd), '\0');
  oddJson.resize(cmg290::write_edits_json(oddJson.data(), odd) - oddJson.data());
  EXPECT_NE(oddJson.find("\"value\":\"\\\"\\\\\\u0001\\u00e9\""), std::string::npos) << oddJson;
}

TEST(CodeShapes, FormsAndFamilies) {
  using cmg290::edits_detail::CodeFamily;
  using cmg290::edits_detail::icd10_shaped;
  using cmg290::edits_detail::icd9_shaped;
  using cmg290::edits_detail::in_list_form;
  using cmg290::edits_detail::list_form;
  struct Form {
    const char* code;
    CodeFamily family;
    const char* form;  // "" when it has none
  };
  const Form forms[] = {
      {"J3801", CodeFamily::Icd10, "J38.01^^"},
      {"j38.01", CodeFamily::Icd10, "J38.01^^"},
      {"G02", CodeFamily::Icd10, "G02.^^^^"},
      {"E083211", CodeFamily::Icd10, "E08.3211"},
      {"J38.01^^", CodeFamily::Icd10, "J38.01^^"},
      {"J3.801", CodeFamily::Icd10, ""},
      {"J38^01", CodeFamily::Icd10, ""},
      {"478.31", CodeFamily::Icd10, ""},
      {"47831", CodeFamily::Icd9, "478.31"},
      {"042", CodeFamily::Icd9, "042."},
      {"v440", CodeFamily::Icd9, "V44.0"},
      {"478.31^^", CodeFamily::Icd9, "478.31"},
      {"478311", CodeFamily::Icd9, ""},
      {"J3801", CodeFamily::Icd9, ""},
  };
  for (const Form& f : forms) {
    char out[9];
    const int n = list_form(f.code, f.family, out);
    EXPECT_EQ(std::string(out, n), f.form) << f.code;
    if (n != 0) {
      EXPECT_TRUE(in_list_form(std::string_view(out, n), f.family));
    }
  }
  EXPECT_TRUE(icd9_shaped("478.31") && !icd10_shaped("478.31"));
  EXPECT_TRUE(icd9_shaped("E888.9") && icd9_shaped("V44.0") && icd10_shaped("V44.0"));
  EXPECT_TRUE(icd10_shaped("S72.001A") && !icd9_shaped("S72.001A"));
  EXPECT_FALSE(icd9_shaped("XYZ") || icd10_shaped("XYZ") || icd10_shaped("J3") ||
               icd9_shaped("47.831"));
}

}  // namespace
