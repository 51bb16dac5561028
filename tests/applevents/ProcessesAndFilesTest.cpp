// The Process Manager, Launch Services and file references.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "platform/applevents/AEDataModel.h"
#include "platform/applevents/AERuntimeFolder.h"
#include "platform/applevents/Files.h"
#include "platform/applevents/LaunchServices.h"
#include "platform/applevents/Processes.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

class ProcessesAndFiles : public ::testing::Test {
 protected:
  // A published, listening socket for a pid and creator (nobody answers).
  std::string publish(pid_t pid, OSType creator, bool listening = true) {
    auto folder = ae_runtime::folder();
    std::string path = *folder + "/" + ae_runtime::socketName(pid, creator);
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    if (listening) {
      EXPECT_EQ(listen(fd, 4), 0);
    }
    sockets_.push_back(fd);
    return path;
  }
  void TearDown() override {
    for (int fd : sockets_) close(fd);
  }
  std::vector<int> sockets_;
  TemporaryUserEnvironment environment_;
};

std::vector<std::pair<UInt32, OSType>> enumerate() {
  std::vector<std::pair<UInt32, OSType>> found;
  ProcessSerialNumber psn{0, kNoProcess};
  OSErr err;
  while ((err = GetNextProcess(&psn)) == noErr) {
    ProcessInfoRec info{};
    EXPECT_EQ(GetProcessInformation(&psn, &info), noErr);
    found.emplace_back(psn.lowLongOfPSN, info.processSignature);
  }
  EXPECT_EQ(err, procNotFound);
  return found;
}

TEST_F(ProcessesAndFiles, EnumerationListsRunningProcessesAndSkipsStaleOnes) {
  EXPECT_TRUE(enumerate().empty());
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  std::string stale = publish(dead, FOUR_CHAR_CODE("sevs"));
  publish(getpid(), FOUR_CHAR_CODE("abcd"));
  publish(1, FOUR_CHAR_CODE("init"));
  // A living pid whose socket no longer listens: the pid was reused.
  std::string reused = publish(getppid(), FOUR_CHAR_CODE("sevs"), false);
  auto found = enumerate();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], std::make_pair(UInt32(1), FOUR_CHAR_CODE("init")));
  EXPECT_EQ(found[1], std::make_pair(UInt32(getpid()), FOUR_CHAR_CODE("abcd")));
  EXPECT_NE(access(stale.c_str(), F_OK), 0) << "a stale socket is cleaned away";
  EXPECT_NE(access(reused.c_str(), F_OK), 0) << "so is one whose pid was reused";
  ProcessSerialNumber gone{kPSNHighHalfOfProcesses, UInt32(dead)};
  ProcessInfoRec info{};
  EXPECT_EQ(GetProcessInformation(&gone, &info), procNotFound);
}

TEST_F(ProcessesAndFiles, TheRuntimeFolderIsPrivate) {
  auto folder = ae_runtime::folder();
  ASSERT_TRUE(folder);
  struct stat st;
  ASSERT_EQ(stat(folder->c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  chmod(folder->c_str(), 0777);
  ASSERT_TRUE(ae_runtime::folder());
  stat(folder->c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "loosened permissions are tightened again";
  if (geteuid() == 0) {
    ASSERT_EQ(chown(folder->c_str(), 65534, 65534), 0);
    EXPECT_FALSE(ae_runtime::folder()) << "a folder of another user is not used";
    ProcessSerialNumber start{0, kNoProcess};
    EXPECT_EQ(GetNextProcess(&start), procNotFound);
    EXPECT_EQ(chown(folder->c_str(), 0, 0), 0);
  }
}

void makeBundle(const std::string& folder, const std::string& name, const char* pkgInfo,
                bool executable) {
  std::string contents = folder + "/" + name + ".app/Contents";
  std::string command = "mkdir -p '" + contents + "/MacOS'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ofstream(contents + "/PkgInfo") << pkgInfo;
  std::string exe = contents + "/MacOS/" + name;
  std::ofstream(exe) << "#!/bin/sh\n";
  chmod(exe.c_str(), executable ? 0755 : 0644);
}

TEST_F(ProcessesAndFiles, ApplicationsAreFoundByCreatorInTheSearchFolders) {
  std::string first = environment_.root() + "/Apps one", second = environment_.root() + "/Apps 2";
  makeBundle(first, "Not Executable", "APPLzzzz", false);
  makeBundle(first, "Other", "APPLyyyy", true);
  makeBundle(second, "Found It", "APPLzzzz", true);
  makeBundle(second, "Short", "APP", true);
  LSSetApplicationSearchFoldersForTesting({first, environment_.root() + "/missing", second});
  FSRef ref;
  CFURLRef url = nullptr;
  ASSERT_EQ(LSFindApplicationForInfo(FOUR_CHAR_CODE("zzzz"), nullptr, nullptr, &ref, &url), noErr);
  EXPECT_EQ(ref.path, second + "/Found It.app");
  ASSERT_NE(url, nullptr);
  EXPECT_TRUE(url->isDirectory());
  CFRelease(url);
  EXPECT_EQ(LSFindApplicationForInfo(FOUR_CHAR_CODE("xxxx"), nullptr, nullptr, &ref, nullptr),
            kLSApplicationNotFoundErr);
  EXPECT_EQ(LSFindApplicationForInfo(FOUR_CHAR_CODE("APP\0"), nullptr, nullptr, &ref, nullptr),
            kLSApplicationNotFoundErr);
}

TEST_F(ProcessesAndFiles, LaunchingARunningApplicationReturnsTheRunningOne) {
  std::string published = publish(getpid(), FOUR_CHAR_CODE("sevs"));
  FSRef ref;
  ASSERT_EQ(LSFindApplicationForInfo(FOUR_CHAR_CODE("sevs"), nullptr, nullptr, &ref, nullptr),
            noErr);
  EXPECT_EQ(ref.path, std::string(HUSHMOOR_TEST_APPLICATIONS_DIR) + "/System Events.app");
  LSApplicationParameters params = {0, kLSLaunchDefaults, &ref, nullptr, nullptr, nullptr, nullptr};
  ProcessSerialNumber psn{};
  ASSERT_EQ(LSOpenApplication(&params, &psn), noErr);
  EXPECT_EQ(psn.lowLongOfPSN, UInt32(getpid()));
  CFArrayRef arguments = CFArrayCreate(nullptr, nullptr, 0, &kCFTypeArrayCallBacks);
  params.argv = arguments;
  EXPECT_EQ(LSOpenApplication(&params, &psn), paramErr);
  params.argv = nullptr;
  CFRelease(arguments);
  FSRef notABundle{environment_.root()};
  params.application = &notABundle;
  EXPECT_EQ(LSOpenApplication(&params, &psn), kLSNoExecutableErr);
  unlink(published.c_str());
}

struct PathCase {
  std::string path;
  OSStatus status;
  bool directory;
};

TEST_F(ProcessesAndFiles, FileReferencesExistOrFail) {
  std::string root = environment_.root();
  std::string file = root + "/a file\nwith newline";
  std::ofstream(file) << "x";
  const PathCase cases[] = {
      {root, noErr, true},
      {root + "/", noErr, true},
      {file, noErr, false},
      {root + "/missing", fnfErr, false},
      {file + "/below a file", fnfErr, false},
      {"", fnfErr, false},
      {std::string(5000, 'a'), bdNamErr, false},
  };
  for (const auto& c : cases) {
    FSRef ref;
    Boolean isDirectory = 2;
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(c.path.c_str()), &ref, &isDirectory),
              c.status)
        << c.path;
    if (c.status != noErr) continue;
    EXPECT_EQ(isDirectory, c.directory ? 1 : 0);
    UInt8 back[1024];
    ASSERT_EQ(FSRefMakePath(&ref, back, sizeof back), noErr);
    EXPECT_EQ(reinterpret_cast<char*>(back), c.path.back() == '/' ? root : c.path);
    UInt8 tiny[4];
    EXPECT_EQ(FSRefMakePath(&ref, tiny, sizeof tiny), pathTooLongErr);
    CFURLRef url = CFURLCreateFromFSRef(nullptr, &ref);
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(url->isDirectory(), c.directory);
    FSRef again;
    EXPECT_TRUE(CFURLGetFSRef(url, &again));
    EXPECT_EQ(again.path, ref.path);
    CFRelease(url);
  }
}

}  // namespace
