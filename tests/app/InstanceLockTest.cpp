// The per-user lock where no title search holds; a crashed holder's leftovers do not count.
#include "InstanceLock.h"

#include "TemporaryDirectory.h"

#include <QTest>
#include <fstream>
#include <future>
#include <gtest/gtest.h>

namespace tavolix::test {
namespace {

using Outcome = InstanceLock::Outcome;
using namespace std::chrono_literals;

TEST(InstanceLock, LaterStartsHandTheirTokenToTheHolderUntilItEnds)
{
    TemporaryDirectory directory;
    ASSERT_FALSE(directory.path().empty());
    const QString folder = QString::fromStdString(directory.path().string());
    std::ofstream(directory.path() / "tavolix.socket") << "stale";

    QList<QByteArray> heard;
    {
        InstanceLock first(folder);
        ASSERT_EQ(first.takeOrHandOver("first-token"), Outcome::First);
        ASSERT_TRUE(first.listen());
        QObject::connect(&first, &InstanceLock::comeForwardRequested,
                         [&](const QByteArray& token) { heard.append(token); });
        const std::pair<QByteArray, QByteArray> rows[] = {
            // sent, passed on
            {"tavolix-1_2.3:abc", "tavolix-1_2.3:abc"},
            {"", ""},
            {"two words", ""},           // not a token: the request still counts
            {QByteArray(2000, 'a'), ""}, // longer than any token
        };
        for (const auto& [sent, passedOn] : rows) {
            SCOPED_TRACE(sent.left(20).toStdString());
            // A later start on a thread of its own while this one serves the holder.
            InstanceLock later(folder);
            auto outcome =
                std::async(std::launch::async, [&] { return later.takeOrHandOver(sent); });
            const auto ended = [&] { return outcome.wait_for(0s) == std::future_status::ready; };
            EXPECT_TRUE(QTest::qWaitFor(ended, 20000));
            EXPECT_EQ(outcome.get(), Outcome::HandedOver);
            ASSERT_FALSE(heard.isEmpty());
            EXPECT_EQ(heard.takeLast(), passedOn);
        }
    }
    // The holder has ended: the next start is the first again.
    InstanceLock next(folder);
    EXPECT_EQ(next.takeOrHandOver({}), Outcome::First);
    EXPECT_TRUE(heard.isEmpty());
}

TEST(InstanceLock, WithoutARuntimeFolderEveryStartIsTheFirst)
{
    for (const QString& folder : {QString(), QStringLiteral("relative/folder")}) {
        InstanceLock one(folder), two(folder);
        EXPECT_EQ(std::pair(one.takeOrHandOver({}), two.takeOrHandOver({})),
                  std::pair(Outcome::First, Outcome::First));
        EXPECT_FALSE(one.listen());
    }
}

} // namespace
} // namespace tavolix::test
