// The printed report and the exit code.
#include "Doctor.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tavolix::doctor {
namespace {

// A process may name itself with terminal escapes; they are shown, not obeyed.
TEST(DoctorPrintTest, AlignsNamesAndEscapesControlCharacters)
{
    const std::vector<DoctorCheck> checks{
        {"interface eth0", Verdict::Pass, "192.0.2.1/24, up, can broadcast"},
        {"port 3566", Verdict::Fail, "held by \x1b[2Jevil\n (pid 7)"},
        {"packet filter", Verdict::Unknown, "could not tell"},
    };
    std::ostringstream out;
    printDoctorChecks(out, checks);
    EXPECT_EQ(out.str(), "PASS  interface eth0  192.0.2.1/24, up, can broadcast\n"
                         "FAIL  port 3566       held by \\x1b[2Jevil\\x0a (pid 7)\n"
                         "????  packet filter   could not tell\n");
}

TEST(DoctorPrintTest, OnlyAFailedCheckFailsTheRun)
{
    const DoctorCheck pass{"a", Verdict::Pass, ""};
    const DoctorCheck unknown{"b", Verdict::Unknown, ""};
    const DoctorCheck fail{"c", Verdict::Fail, ""};
    EXPECT_EQ(doctorExitCode({pass, unknown}), 0);
    EXPECT_EQ(doctorExitCode({pass, fail, unknown}), 1);
}

} // namespace
} // namespace tavolix::doctor
