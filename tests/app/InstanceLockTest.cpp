// The per-user lock that lets one instance run where windows cannot be found
// by their title: the first start holds it, later starts hand their
// activation token to it, and what a crashed holder left does not count.
#include "InstanceLock.h"

#include "TemporaryDirectory.h"

#include <QCoreApplication>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>

namespace tavolix::test {
namespace {

using Outcome = InstanceLock::Outcome;

// Runs a later start on a thread of its own while this one serves the holder.
Outcome laterStart(const QString& folder, const QByteArray& token)
{
    InstanceLock later(folder);
    auto outcome = std::async(std::launch::async, [&] { return later.takeOrHandOver(token); });
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return outcome.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        20000));
    return outcome.get();
}

TEST(InstanceLock, LaterStartsHandTheirTokenToTheHolderUntilItEnds)
{
    TemporaryDirectory directory;
    ASSERT_FALSE(directory.path().empty());
    const QString folder = QString::fromStdString(directory.path().string());
    // A socket file left by a holder that crashed.
    std::ofstream(directory.path() / "tavolix.socket") << "stale";

    QList<QByteArray> heard;
    {
        InstanceLock first(folder);
        ASSERT_EQ(first.takeOrHandOver("first-token"), Outcome::First);
        ASSERT_TRUE(first.listen());
        QObject::connect(&first, &InstanceLock::comeForwardRequested,
                         [&](const QByteArray& token) { heard.append(token); });

        struct Row
        {
            QByteArray sent;
            QByteArray passedOn;
        };
        const Row rows[] = {
            {"tavolix-1_2.3:abc", "tavolix-1_2.3:abc"},
            {"", ""},
            {"two words", ""},           // not a token: the request still counts
            {QByteArray(2000, 'a'), ""}, // longer than any token
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.sent.left(20).toStdString());
            EXPECT_EQ(laterStart(folder, row.sent), Outcome::HandedOver);
            ASSERT_FALSE(heard.isEmpty());
            EXPECT_EQ(heard.takeLast(), row.passedOn);
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
        InstanceLock one(folder);
        InstanceLock two(folder);
        EXPECT_EQ(one.takeOrHandOver({}), Outcome::First);
        EXPECT_EQ(two.takeOrHandOver({}), Outcome::First);
        EXPECT_FALSE(one.listen());
    }
}

} // namespace
} // namespace tavolix::test
