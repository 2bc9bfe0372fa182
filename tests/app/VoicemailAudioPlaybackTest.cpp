// SPDX-License-Identifier: GPL-3.0-or-later
// Voicemail audio (AMR-NB) through the preview player's Qt Multimedia
// backend: the GStreamer packages the project installs decode it.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "QELQtMediaPlayerBackend.h"
#include "VoicemailFixture.h"

namespace {

TEST(VoicemailAudioPlayback, AnAmrFileLoadsWithItsLengthAndPlaysToItsEnd)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("1.amr"));
    // 25 frames of 20 ms: half a second.
    ASSERT_TRUE(VoicemailFixture::writeAmrFile(path, 25));

    QELQtMediaPlayerBackend backend;
    QSignalSpy loaded(&backend, &QELMediaPlayerBackend::loaded);
    QSignalSpy failed(&backend, &QELMediaPlayerBackend::failed);
    QSignalSpy ended(&backend, &QELMediaPlayerBackend::ended);
    backend.load(path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !loaded.isEmpty() || !failed.isEmpty(); }, 10000));
    ASSERT_TRUE(failed.isEmpty()) << failed.value(0).value(0).toString().toStdString();
    ASSERT_TRUE(backend.hasMovie());
    EXPECT_TRUE(QTest::qWaitFor([&] { return backend.duration() > 0; }, 5000));
    EXPECT_NEAR(double(backend.duration()), 500.0, 60.0);

    backend.setVolume(0.0f);
    backend.play();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !ended.isEmpty(); }, 10000));
    EXPECT_TRUE(failed.isEmpty());
}

} // namespace
