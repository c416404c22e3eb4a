#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "test_support.h"
#include "util/file_io.h"
#include "util/profile.h"

using namespace qelt::test;
using qelt::ByteString;
namespace fs = std::filesystem;

namespace {
void writeText(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
}  // namespace

TEST(WholeFile, ReadWriteAndDirectoryCreation) {
    const fs::path dir = scratchDir("WholeFile");
    const std::string deep = (dir / "a" / "b" / "c" / "f.bin").string();
    ASSERT_EQ(qelt::writeWholeFile(deep.c_str(), ByteString("payload")), qelt::WriteFileResult::Ok);
    EXPECT_TRUE(fs::is_directory(dir / "a" / "b" / "c"));
    ByteString back("old");
    ASSERT_EQ(qelt::readWholeFile(deep.c_str(), back), qelt::ReadFileResult::Ok);
    EXPECT_EQ(back.view(), "payload");

    // Backslashes separate directories too.
    const std::string mixed = dir.string() + "/x\\y/z.bin";
    EXPECT_EQ(qelt::writeWholeFile(mixed.c_str(), ByteString("1")), qelt::WriteFileResult::Ok);

    ASSERT_EQ(qelt::writeWholeFile(deep.c_str(), ByteString()), qelt::WriteFileResult::Ok);  // zero bytes are fine here
    ASSERT_EQ(qelt::readWholeFile(deep.c_str(), back), qelt::ReadFileResult::Ok);
    EXPECT_TRUE(back.isEmpty());

    ByteString untouched("keep");
    EXPECT_EQ(qelt::readWholeFile((dir / "missing").c_str(), untouched), qelt::ReadFileResult::CannotOpen);
    EXPECT_EQ(qelt::readWholeFile("", untouched), qelt::ReadFileResult::EmptyPath);
    EXPECT_EQ(untouched.view(), "keep");
    EXPECT_EQ(qelt::writeWholeFile("", ByteString("x")), qelt::WriteFileResult::EmptyPath);
    // A path without a separator that cannot be created directly.
    EXPECT_EQ(qelt::writeWholeFile(std::string(300, 'n').c_str(), ByteString("x")),
              qelt::WriteFileResult::CannotCreate);
    EXPECT_EQ(qelt::writeWholeFile((dir.string() + "/" + std::string(600, 'n')).c_str(), ByteString("x")),
              qelt::WriteFileResult::BadPathLength);
}

class StorageFileApi : public ApiTest {};

TEST_F(StorageFileApi, ReadAndWriteFile) {
    const std::string path = (workDir / "d1" / "d2" / "out.bin").string();
    OwnedBinstr data(std::string_view("bytes\0with nul", 14));
    ASSERT_EQ(QELT_STORAGE_WriteFile(ctx, const_cast<char*>(path.c_str()), &data), 0);
    OwnedBinstr back;
    ASSERT_EQ(QELT_STORAGE_ReadFile(ctx, const_cast<char*>(path.c_str()), &back), 0);
    EXPECT_EQ(back.vec(), data.vec());

    const std::string empty = (workDir / "empty").string();
    writeText(empty, "");
    EXPECT_EQ(QELT_STORAGE_ReadFile(ctx, const_cast<char*>(empty.c_str()), &back), QELT_ERR_FILE_EMPTY);
    EXPECT_EQ(errInfo(), "[QELT_STORAGE_ReadFile] 비어있는 파일입니다."_cp949);
    const std::string missing = (workDir / "missing").string();
    EXPECT_EQ(QELT_STORAGE_ReadFile(ctx, const_cast<char*>(missing.c_str()), &back), QELT_ERR_FILE_READ);
    EXPECT_EQ(errInfo(), "[QELT_STORAGE_ReadFile] \"" + missing + "\" 위치의 파일을 읽는데 실패하였습니다."_cp949);
    EXPECT_EQ(QELT_STORAGE_ReadFile(ctx, const_cast<char*>(""), &back), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_STORAGE_ReadFile] 읽어들일 파일의 파일경로(pszFilePath)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_STORAGE_ReadFile(ctx, const_cast<char*>(path.c_str()), nullptr), QELT_ERR_INVALID_ARGUMENT);

    BINSTR none{nullptr, 0};
    EXPECT_EQ(QELT_STORAGE_WriteFile(ctx, const_cast<char*>(path.c_str()), &none), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_STORAGE_WriteFile] 저장할 데이터(pData)를 지정해 주세요."_cp949);
    const std::string underFile = path + "/child";  // a regular file cannot hold a child
    EXPECT_EQ(QELT_STORAGE_WriteFile(ctx, const_cast<char*>(underFile.c_str()), &data), QELT_ERR_FILE_WRITE);
    EXPECT_EQ(errInfo(),
              "[QELT_STORAGE_WriteFile] \"" + underFile + "\" 위치에 파일을 저장하는데 실패하였습니다."_cp949);
}

TEST(ProfileReaders, SpacingSectionsAndPrefixes) {
    const fs::path dir = scratchDir("ProfileReaders");
    const fs::path ini = dir / "conf.ini";
    writeText(ini,
              "[OTHER]\nONLY_HERE = 1\n"
              "[TSA]\r\n# comment = x\r\nTSA_IP=10.0.0.1\r\nTSA_PORT =  3318 \t\r\nTSA_PORTX = 9\r\n"
              "EMPTY =   \r\nTIME_OUT = 30\r\n"
              "[LDAP]\nTSA_IP = wrong\n");
    qelt::Profile p;
    ASSERT_EQ(p.setPath(ini.c_str()), qelt::Profile::kPathOk);
    EXPECT_EQ(p.tempPath(), (dir / "temp__.$$$").string());
    char buf[64];
    for (auto reader : {&qelt::Profile::readA, &qelt::Profile::readB}) {
        ASSERT_EQ((p.*reader)("TSA", "TSA_IP", buf, sizeof buf), 0);
        EXPECT_STREQ(buf, "10.0.0.1");
        ASSERT_EQ((p.*reader)("TSA", "TSA_PORT", buf, sizeof buf), 0);
        EXPECT_STREQ(buf, "3318");
        EXPECT_NE((p.*reader)("TSA", "ONLY_HERE", buf, sizeof buf), 0);  // stands only in another section
        EXPECT_NE((p.*reader)("TSA", "EMPTY", buf, sizeof buf), 0);
        EXPECT_NE((p.*reader)("NONE", "TSA_IP", buf, sizeof buf), 0);
        ASSERT_EQ((p.*reader)("LDAP", "TSA_IP", buf, sizeof buf), 0);
        EXPECT_STREQ(buf, "wrong");
    }
    // Reader A needs a blank or '=' after the key: "TSA_POR" is not a key here.
    EXPECT_EQ(p.readA("TSA", "TSA_POR", buf, sizeof buf), qelt::Profile::kNoKey);
    EXPECT_EQ(p.readA("TSA", "TSA_PORT", buf, 4), 6);  // value as long as the buffer
    EXPECT_EQ(p.getInt("TSA", "TIME_OUT", 10), 30);
    EXPECT_EQ(p.getInt("TSA", "MISSING", 10), 10);
    EXPECT_EQ(p.getIntLine("TSA", "TSA_PORT", 0), 3318);
    char small[5];
    EXPECT_EQ(p.getString("TSA", "TSA_IP", small, sizeof small, "dflt"), 4);
    EXPECT_STREQ(small, "10.0");
    EXPECT_EQ(p.getString("TSA", "NOPE", small, sizeof small, "default"), 0);
    EXPECT_STREQ(small, "defa");

    EXPECT_EQ(p.setPath((dir / "missing.ini").c_str()), qelt::Profile::kNoSuchFile);
    EXPECT_EQ(p.setPath(std::string(256, 'x').c_str()), qelt::Profile::kPathTooLong);
    qelt::Profile noDir;
    writeText("plain-profile.ini", "[A]\n");
    ASSERT_EQ(noDir.setPath("plain-profile.ini"), 0);
    EXPECT_EQ(noDir.tempPath(), "temp__.$$$");  // no '/': the current directory
    fs::remove("plain-profile.ini");
}

TEST(ProfileWriter, ReplaceInsertAndAppend) {
    const fs::path dir = scratchDir("ProfileWriter");
    const fs::path ini = dir / "w.ini";
    writeText(ini, "# head\n[A]\nkey=old\n# note\nother = 1\n[B]\nkey = b\n");
    qelt::Profile p;
    ASSERT_EQ(p.setPath(ini.c_str()), 0);
    ASSERT_EQ(p.write("A", "key", "new"), 0);
    EXPECT_EQ(readText(ini), "# head\n[A]\nkey = new\n# note\nother = 1\n[B]\nkey = b\n");
    ASSERT_EQ(p.write("A", "added", "2"), 0);  // goes before the next section
    EXPECT_EQ(readText(ini), "# head\n[A]\nkey = new\n# note\nother = 1\nadded = 2\n[B]\nkey = b\n");
    ASSERT_EQ(p.write("B", "tail", "t"), 0);  // section running to the end of the file
    EXPECT_EQ(readText(ini), "# head\n[A]\nkey = new\n# note\nother = 1\nadded = 2\n[B]\nkey = b\ntail = t\n");
    ASSERT_EQ(p.write("C", "k", "v"), 0);  // a new section, after an empty line
    EXPECT_EQ(readText(ini).substr(readText(ini).size() - 12), "\n\n[C]\nk = v\n");
    EXPECT_FALSE(fs::exists(dir / "temp__.$$$"));
    char buf[16];
    ASSERT_EQ(p.readB("A", "added", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "2");
}

// A NUL byte inside a line must not cost the line its line feed: the rewritten
// profile would otherwise join it with the next line (fuzz finding).
TEST(ProfileWriter, NulBytesDoNotJoinLines) {
    const fs::path dir = scratchDir("ProfileWriterNul");
    const fs::path ini = dir / "n.ini";
    writeText(ini, std::string("[TIP]\nA =\0x\nP = 1\nB = \0\0\n[Z]\n", 29));
    qelt::Profile p;
    ASSERT_EQ(p.setPath(ini.c_str()), 0);
    ASSERT_EQ(p.write("TIP", "P", "v"), 0);
    EXPECT_EQ(readText(ini), "[TIP]\nA =x\nP = v\nB = \n[Z]\n");
    char buf[16];
    ASSERT_EQ(p.readB("TIP", "P", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "v");
}

// A profile path naming a pipe (as a device would) is never replaced.
TEST(ProfileWriter, OnlyRegularFilesAreReplaced) {
    const fs::path dir = scratchDir("ProfileWriterPipe");
    const fs::path pipe = dir / "p.ini";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    qelt::Profile p;
    ASSERT_EQ(p.setPath(pipe.c_str()), 0);
    EXPECT_EQ(p.write("TIP", "P", "v"), qelt::Profile::kReplaceFailed);
    EXPECT_TRUE(fs::is_fifo(pipe));
}

class ProfileApi : public ApiTest {};

TEST_F(ProfileApi, ExportedReadsWritesAndMessages) {
    const std::string path = (workDir / "app.ini").string();
    writeText(path, "[APP]\nname = first\n");
    char* p = const_cast<char*>(path.c_str());
    char sec[] = "APP", name[] = "name", count[] = "count", missing[] = "missing";
    ASSERT_EQ(QELT_UTIL_SetProfileInt(ctx, p, sec, count, 42), 0);
    int v = -1;
    ASSERT_EQ(QELT_UTIL_GetProfileInt(ctx, p, sec, count, &v), 0);
    EXPECT_EQ(v, 42);
    ASSERT_EQ(QELT_UTIL_GetProfileInt(ctx, p, sec, missing, &v), 0);
    EXPECT_EQ(v, 0);

    std::string korean = "홍길동"_cp949;
    ASSERT_EQ(QELT_UTIL_SetProfileString(ctx, p, sec, name, korean.data()), 0);
    char buf[64];
    ASSERT_EQ(QELT_UTIL_GetProfileString(ctx, p, sec, name, sizeof buf, buf), 0);
    EXPECT_EQ(std::string(buf), korean);
    ASSERT_EQ(QELT_UTIL_GetProfileString(ctx, p, sec, name, 3, buf), 0);
    EXPECT_EQ(std::string(buf), korean.substr(0, 2));
    EXPECT_EQ(QELT_UTIL_GetProfileString(ctx, p, sec, missing, sizeof buf, buf), QELT_ERR_CERT_FIELD_ABSENT);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(errInfo(), "[QELT_UTIL_GetProfileString] [APP]의 missing 값이 없습니다."_cp949);

    EXPECT_EQ(QELT_UTIL_GetProfileInt(ctx, nullptr, sec, name, &v), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_UTIL_SetProfilePath] Profile 경로를 지정하세요."_cp949);
    EXPECT_EQ(QELT_UTIL_SetProfileString(ctx, p, nullptr, name, buf), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_UTIL_SetProfileString] 섹션 이름을 지정하세요."_cp949);
    EXPECT_EQ(QELT_UTIL_SetProfileString(ctx, p, sec, nullptr, buf), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_UTIL_SetProfileString] 엔트리 명을 지정하세요."_cp949);
    EXPECT_EQ(QELT_UTIL_SetProfileString(ctx, p, sec, name, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_UTIL_SetProfileString] pszIn의 포인터가 NULL입니다."_cp949);
    EXPECT_EQ(QELT_UTIL_GetProfileInt(ctx, p, sec, name, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_UTIL_GetProfileInt] pOut의 포인터가 NULL입니다."_cp949);
    EXPECT_EQ(QELT_UTIL_GetProfileString(ctx, p, sec, name, 0, buf), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_UTIL_GetProfileString] 버퍼 사이즈를 지정하세요."_cp949);
    EXPECT_EQ(QELT_UTIL_GetProfileString(ctx, p, sec, name, 5, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_UTIL_GetProfileString] pszBuff의 포인터가 NULL입니다."_cp949);

    std::string absent = (workDir / "absent.ini").string();
    EXPECT_EQ(QELT_UTIL_SetProfileInt(ctx, absent.data(), sec, name, 1), QELT_ERR_CONF_READ);
    EXPECT_EQ(errInfo(), "[QELT_UTIL_SetProfileInt] 환경파일을 읽는데 실패하였습니다."_cp949);

    // A directory standing where the temporary file goes makes the write fail; the profile stays.
    fs::create_directories(workDir / "temp__.$$$");
    EXPECT_EQ(QELT_UTIL_SetProfileString(ctx, p, sec, name, buf), QELT_ERR_FILE_WRITE);
    EXPECT_EQ(errInfo(), "[QELT_UTIL_SetProfileString] [APP]의 name 값을 저장하는데 실패하였습니다."_cp949);
    ASSERT_EQ(QELT_UTIL_GetProfileString(ctx, p, sec, name, sizeof buf, buf), 0);
    EXPECT_EQ(std::string(buf), korean);
}
