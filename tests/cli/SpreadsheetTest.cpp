// The README's workflow: a listing through a real spreadsheet and back, edited, applied.
#include "CtlTest.h"

namespace tavolix::e2e {
namespace {

TEST_F(CtlTest, MacsAndNamesLikeNumbersSurviveASpreadsheetAndItsEditsAreApplied)
{
    const std::string soffice = test::findProgram("soffice");
    if (soffice.empty())
        GTEST_SKIP() << "no soffice (package libreoffice-calc-nogui)";
    // Opens the CSV, saves it as a workbook, opens that and saves it as CSV,
    // each by one headless start with a private profile, in the host namespace.
    const auto throughSpreadsheet = [&](const std::string& csv) {
        writeFile("site.csv", csv);
        for (const auto& [from, to] : {std::pair{"site.csv", "xlsx"}, {"site.xlsx", "csv"}}) {
            const auto converted = test::runCommand(
                {"ip", "netns", "exec", topology.name("host"), soffice,
                 "-env:UserInstallation=file://" + (folder.path() / "profile").string(),
                 "--headless", "--convert-to", to, "--outdir", folder.path(),
                 folder.path() / from});
            EXPECT_EQ(converted.exitCode, 0) << converted.output;
        }
        return fileText(folder.path() / "site.csv");
    };
    const auto apply = [&](const std::string& csv) {
        const CtlResult result = asAdmin({"apply", writeFile("plan.csv", csv)});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    };
    // MACs of digits only; names "0042" and "1e5", which a spreadsheet reads as numbers.
    ASSERT_NO_FATAL_FAILURE(
        startDevices({"--count", "3", "--mac-base", "001122334401", "--ip-base", "198.18.0.10",
                      "--raw-texts", "30303432", "--raw-texts", "316535"}));
    const CtlResult listed = ctl({"search", "--format", "csv", "--timeout", "800"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    std::string sheet = throughSpreadsheet(listed.out);
    EXPECT_THAT(sheet, HasSubstr("\n'001122334401,'0042,198.18.0.10,")) << sheet;
    EXPECT_THAT(apply(sheet), ::testing::MatchesRegex("(.*  unchanged\n){3}"));
    expectSearchesThenMarker(2, "after-unchanged");

    // The third device renamed and moved as a user would, then opened and saved again.
    for (const auto& [was, now] : {std::pair{"SIM-003", "Lobby"}, {"198.18.0.12", "198.18.0.40"}})
        sheet.replace(sheet.find(was), std::string_view(was).size(), now);
    const std::string edited = apply(throughSpreadsheet(sheet));
    EXPECT_THAT(edited, HasSubstr("02  198.18.0.11  unchanged\n"));
    EXPECT_THAT(edited, HasSubstr("03  198.18.0.40  verified"));
    EXPECT_THAT(sim->lines(),
                ::testing::Contains(::testing::StartsWith("apply 001122334403 name ip")));
}

} // namespace
} // namespace tavolix::e2e
