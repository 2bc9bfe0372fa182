#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>

#include "BackupCrypto.h"
#include "BackupKeyBag.h"
#include "BackupKeyCache.h"
#include "EncryptedBackupWriter.h"

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

using Bag = EncryptedBackupWriter;

// A key bag with one class key wrapped under the key of `password` (1 and
// `iterations` rounds).
QByteArray keyBagFor(const QString& password, const QByteArray& classKey,
                     uint32_t protectionClass = 3, int iterations = 1)
{
    const QByteArray salt = hex("0102030405060708090a0b0c0d0e0f1011121314");
    const QByteArray passwordSalt = hex("a1a2a3a4a5a6a7a8a9aaabacadaeafb0b1b2b3b4");
    const QByteArray key = BackupCrypto::pbkdf2(
        BackupCrypto::Digest::Sha1,
        BackupCrypto::pbkdf2(BackupCrypto::Digest::Sha256, password.toUtf8(), passwordSalt, 1, 32),
        salt, iterations, 32);
    return Bag::keyBagInteger("VERS", 5) + Bag::keyBagInteger("TYPE", 1)
        + Bag::keyBagRecord("UUID", QByteArray(16, 'u'))
        + Bag::keyBagRecord("HMCK", QByteArray(40, 'h')) + Bag::keyBagInteger("WRAP", 0)
        + Bag::keyBagRecord("SALT", salt) + Bag::keyBagInteger("ITER", iterations)
        + Bag::keyBagInteger("DPWT", 1) + Bag::keyBagInteger("DPIC", 1)
        + Bag::keyBagRecord("DPSL", passwordSalt) + Bag::keyBagRecord("UUID", QByteArray(16, 'c'))
        + Bag::keyBagInteger("CLAS", protectionClass) + Bag::keyBagInteger("WRAP", 2)
        + Bag::keyBagInteger("KTYP", 0)
        + Bag::keyBagRecord("WPKY", *BackupCrypto::wrapKey(key, classKey));
}

} // namespace

// The known answers of RFC 3394 (4.6) and RFC 6070-style PBKDF2 vectors: the
// primitives are the standard ones, so real backups open.
TEST(BackupCrypto, PrimitivesGiveTheStandardAnswers)
{
    const QByteArray kek = hex("000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F");
    const QByteArray key = hex("00112233445566778899AABBCCDDEEFF000102030405060708090A0B0C0D0E0F");
    const QByteArray wrapped =
        hex("28C9F404C4B810F4CBCCB35CFB87F8263F5786E2D80ED326CBC7F0E71A99F43BFB988B9B7A02DD21");
    EXPECT_EQ(BackupCrypto::wrapKey(kek, key), std::optional<QByteArray>(wrapped));
    EXPECT_EQ(BackupCrypto::unwrapKey(kek, wrapped), std::optional<QByteArray>(key));
    QByteArray flipped = wrapped;
    flipped[5] = static_cast<char>(flipped[5] ^ 1);
    EXPECT_EQ(BackupCrypto::unwrapKey(kek, flipped), std::nullopt);
    EXPECT_EQ(BackupCrypto::unwrapKey(kek, wrapped.left(16)), std::nullopt);

    EXPECT_EQ(BackupCrypto::pbkdf2(BackupCrypto::Digest::Sha1, "password", "salt", 2, 20),
              hex("ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"));
    EXPECT_EQ(BackupCrypto::pbkdf2(BackupCrypto::Digest::Sha256, "password", "salt", 2, 32),
              hex("ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43"));
}

TEST(BackupKeyBag, UnlocksOnlyWithItsPassword)
{
    const QByteArray classKey(32, 'k');
    for (const QString& password :
         {QStringLiteral("secret"), QStringLiteral("pässwörd ключ 密码"), QString()}) {
        SCOPED_TRACE(password.toStdString());
        QString error;
        std::optional<BackupKeyBag> bag =
            BackupKeyBag::parse(keyBagFor(password, classKey), &error);
        ASSERT_TRUE(bag) << error.toStdString();
        EXPECT_EQ(bag->classKeys().size(), 1u);
        EXPECT_EQ(bag->iterations(), 1);
        std::optional<BackupKeyBag> wrong = bag;
        EXPECT_EQ(wrong->unlock(password + QStringLiteral("x"), &error),
                  BackupKeyBag::UnlockResult::WrongPassword);
        EXPECT_FALSE(wrong->isUnlocked());
        ASSERT_EQ(bag->unlock(password, &error), BackupKeyBag::UnlockResult::Unlocked)
            << error.toStdString();
        EXPECT_EQ(bag->classKeys().front().key, classKey);

        const QByteArray fileKey(32, 'f');
        QByteArray stored("\x03\x00\x00\x00", 4);
        stored += *BackupCrypto::wrapKey(classKey, fileKey);
        EXPECT_EQ(bag->unwrapStoredKey(stored, &error), std::optional<QByteArray>(fileKey));
        stored[0] = 4;
        EXPECT_EQ(bag->unwrapStoredKey(stored, &error), std::nullopt);
        EXPECT_TRUE(error.contains(QStringLiteral("no key of protection class 4")))
            << error.toStdString();
    }
}

// A backup's password key is derived once, however many ask for it at once; a
// wrong password's key is handed back but never remembered.
TEST(BackupKeyCache, DerivesEachBagAndPasswordOnceWhoeverAsks)
{
    const QByteArray classKey(32, 'k');
    const QByteArray bytes = keyBagFor(QStringLiteral("secret"), classKey);
    BackupKeyCache keys;
    std::vector<std::thread> threads;
    std::vector<QByteArray> opened(8);
    for (size_t i = 0; i < opened.size(); ++i) {
        threads.emplace_back([&, i] {
            QString error;
            std::optional<BackupKeyBag> bag = BackupKeyBag::parse(bytes, &error);
            if (bag
                && keys.unlock(*bag, QStringLiteral("secret"), &error)
                    == BackupKeyBag::UnlockResult::Unlocked)
                opened[i] = bag->classKeys().front().key;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (const QByteArray& key : opened)
        EXPECT_EQ(key, classKey);
    EXPECT_EQ(keys.derivationCount(), 1);

    QString error;
    for (int attempt = 1; attempt <= 2; ++attempt) {
        std::optional<BackupKeyBag> bag = BackupKeyBag::parse(bytes, &error);
        QByteArray wrongKey;
        EXPECT_EQ(keys.unlock(*bag, QStringLiteral("Secret"), &error, &wrongKey),
                  BackupKeyBag::UnlockResult::WrongPassword);
        EXPECT_EQ(wrongKey.size(), 32);
        EXPECT_EQ(keys.derivationCount(), 1 + attempt);
        EXPECT_EQ(bag->unlockWithPasswordKey(wrongKey, &error),
                  BackupKeyBag::UnlockResult::WrongPassword);
    }

    // The remembered key is the one a fresh derivation gives.
    std::optional<BackupKeyBag> bag = BackupKeyBag::parse(bytes, &error);
    QByteArray rightKey;
    EXPECT_EQ(keys.unlock(*bag, QStringLiteral("secret"), &error, &rightKey),
              BackupKeyBag::UnlockResult::Unlocked);
    EXPECT_EQ(std::optional<QByteArray>(rightKey),
              bag->derivePasswordKey(QStringLiteral("secret")));
    EXPECT_EQ(keys.derivationCount(), 3);

    // Other round counts, or a forgotten key, are derived anew.
    std::optional<BackupKeyBag> other =
        BackupKeyBag::parse(keyBagFor(QStringLiteral("secret"), classKey, 3, 2), &error);
    EXPECT_EQ(keys.unlock(*other, QStringLiteral("secret"), &error),
              BackupKeyBag::UnlockResult::Unlocked);
    EXPECT_EQ(keys.derivationCount(), 4);
    keys.clear();
    EXPECT_EQ(keys.unlock(*bag, QStringLiteral("secret"), &error),
              BackupKeyBag::UnlockResult::Unlocked);
    EXPECT_EQ(keys.derivationCount(), 5);
}

TEST(BackupKeyBag, DamagedBagsAreRefusedWithAReason)
{
    const QByteArray good = keyBagFor(QStringLiteral("secret"), QByteArray(32, 'k'));
    QByteArray longRecord = good;
    longRecord[4 + 3] = static_cast<char>(0x7f); // VERS claims 127 bytes... of 4
    longRecord[4] = static_cast<char>(0x10);
    const QByteArray headerOnly = good.left(good.indexOf("UUID", 30));
    const QByteArray hugeRounds = Bag::keyBagRecord("SALT", "s")
        + Bag::keyBagInteger("ITER", 0xFFFFFFFF) + Bag::keyBagRecord("UUID", "u")
        + Bag::keyBagRecord("UUID", "c") + Bag::keyBagInteger("WRAP", 2);
    const QByteArray noPasswordKeys = headerOnly + Bag::keyBagRecord("UUID", QByteArray(16, 'c'))
        + Bag::keyBagInteger("CLAS", 3) + Bag::keyBagInteger("WRAP", 1)
        + Bag::keyBagRecord("WPKY", QByteArray(40, 'w'));
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* reason;
    };
    for (const Case& c : {Case{"empty", QByteArray(), "salt"},
                          Case{"truncated record", good.left(good.size() - 3), "longer"},
                          Case{"record header cut", good + QByteArray("WP"), "cut off"},
                          Case{"length past the end", longRecord, "longer"},
                          Case{"no class key", headerOnly, "no class key"},
                          Case{"rounds beyond reason", hugeRounds, "ITER"},
                          Case{"no key under the password", noPasswordKeys, "no class key"}}) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(BackupKeyBag::parse(c.bytes, &error));
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
}

// A file is cut to its size only after the padding behind it checked out.
TEST(BackupCrypto, FileDecryptionChecksSizeAndPadding)
{
    QTemporaryDir dir;
    const QByteArray key(32, 'K');
    const QByteArray content =
        EncryptedBackupWriter::generatedContent("D", "p", 3 * 1024 * 1024 + 5);
    const QString source = dir.filePath(QStringLiteral("stored"));
    const QString target = dir.filePath(QStringLiteral("plain"));
    struct Case {
        const char* name;
        QByteArray stored;
        std::optional<int64_t> size;
        BackupCrypto::FileResult want;
        QByteArray plain;
    };
    const QByteArray padded = *BackupCrypto::encryptBlocks(key, BackupCrypto::addPadding(content));
    const QByteArray aligned = content.left(64);
    const QByteArray unpaddedAligned = *BackupCrypto::encryptBlocks(key, aligned);
    using R = BackupCrypto::FileResult;
    for (const Case& c : {
             Case{"large file", padded, int64_t(content.size()), R::Ok, content},
             Case{"size unknown: padding removed", padded, std::nullopt, R::Ok, content},
             Case{"size unknown, no padding: kept", unpaddedAligned, std::nullopt, R::Ok, aligned},
             Case{"empty file",
                  *BackupCrypto::encryptBlocks(key, BackupCrypto::addPadding({})),
                  int64_t(0),
                  R::Ok,
                  {}},
             Case{"nothing stored for nothing", {}, int64_t(0), R::Ok, {}},
             Case{"size past the stored bytes",
                  padded,
                  int64_t(content.size() + 20),
                  R::Damaged,
                  {}},
             Case{"size far short", padded, int64_t(content.size() - 40), R::Damaged, {}},
             Case{"size that leaves content as padding",
                  padded,
                  int64_t(content.size() - 2),
                  R::Damaged,
                  {}},
             Case{"no padding at all", unpaddedAligned, int64_t(aligned.size()), R::Damaged, {}},
             Case{"not whole blocks",
                  padded.left(padded.size() - 1),
                  int64_t(content.size()),
                  R::Damaged,
                  {}},
             Case{"wrong key",
                  *BackupCrypto::encryptBlocks(QByteArray(32, 'x'),
                                               BackupCrypto::addPadding(aligned)),
                  int64_t(aligned.size()),
                  R::Damaged,
                  {}},
         }) {
        SCOPED_TRACE(c.name);
        QFile::remove(target);
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.stored);
        file.close();
        QString error;
        EXPECT_EQ(BackupCrypto::decryptFile(key, source, target, c.size, &error), c.want)
            << error.toStdString();
        if (c.want == R::Ok) {
            QFile out(target);
            ASSERT_TRUE(out.open(QIODevice::ReadOnly));
            EXPECT_TRUE(out.readAll() == c.plain);
            struct stat info {};
            ASSERT_EQ(stat(QFile::encodeName(target).constData(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0600u);
        } else {
            EXPECT_FALSE(error.isEmpty());
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
                      QStringList{QStringLiteral("stored")});
        }
    }
    QString error;
    EXPECT_EQ(
        BackupCrypto::decryptFile(key, dir.filePath(QStringLiteral("missing")), target, 0, &error),
        R::Failed);
}

// Files decrypted side by side come out as they do one by one, and a damaged
// or missing file among them is reported as itself without stopping the rest.
TEST(BackupCrypto, FilesDecryptedSideBySideFailOnTheirOwn)
{
    QTemporaryDir dir;
    const QByteArray key(32, 'K');
    using R = BackupCrypto::FileResult;
    struct File {
        QByteArray content;
        R want;
    };
    std::vector<File> files;
    for (int i = 0; i < 40; ++i)
        files.push_back({EncryptedBackupWriter::generatedContent("D", QString::number(i), i * 997),
                         i % 13 == 5 ? R::Damaged : (i % 17 == 8 ? R::Failed : R::Ok)});
    auto stored = [&](size_t i) { return dir.filePath(QStringLiteral("stored%1").arg(i)); };
    auto plain = [&](size_t i) { return dir.filePath(QStringLiteral("plain%1").arg(i)); };
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i].want == R::Failed)
            continue; // nothing stored
        QByteArray bytes =
            *BackupCrypto::encryptBlocks(key, BackupCrypto::addPadding(files[i].content));
        if (files[i].want == R::Damaged)
            bytes.chop(1);
        QFile file(stored(i));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    for (int threads : {0, 1, 3, 64}) {
        SCOPED_TRACE(threads);
        for (size_t i = 0; i < files.size(); ++i)
            QFile::remove(plain(i));
        const std::vector<BackupCrypto::FileOutcome> outcomes =
            BackupCrypto::decryptEach(files.size(), threads, [&](size_t i, QString* error) {
                return BackupCrypto::decryptFile(key, stored(i), plain(i),
                                                 int64_t(files[i].content.size()), error);
            });
        ASSERT_EQ(outcomes.size(), files.size());
        for (size_t i = 0; i < files.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(outcomes[i].result, files[i].want);
            EXPECT_EQ(outcomes[i].error.isEmpty(), files[i].want == R::Ok);
            if (files[i].want != R::Ok) {
                EXPECT_TRUE(outcomes[i].error.contains(stored(i)))
                    << outcomes[i].error.toStdString();
                EXPECT_FALSE(QFile::exists(plain(i)));
                continue;
            }
            QFile out(plain(i));
            ASSERT_TRUE(out.open(QIODevice::ReadOnly));
            EXPECT_TRUE(out.readAll() == files[i].content);
        }
    }
    EXPECT_TRUE(
        BackupCrypto::decryptEach(0, 4, [](size_t, QString*) { return R::Failed; }).empty());
}
