// The `ambit-order` binary as an operator runs it: start-up refusals, --version, and token
// changes picked up by a running server.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "base/com_error.h"
#include "base/version.h"
#include "schema/account.h"
#include "schema/upgrade.h"
#include "server/token_store.h"
#include "support/closed_port.h"

namespace ambit::cli {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// One run of the binary with its output in files of `dir`.
class Process {
 public:
  Process(const fs::path& dir, const std::string& name, std::vector<std::string> args)
      : out_(dir / (name + ".out")), err_(dir / (name + ".err")) {
    args.insert(args.begin(), AMBIT_ORDER_BINARY);
    pid_ = fork();
    if (pid_ == 0) {
      freopen(out_.c_str(), "w", stdout);
      freopen(err_.c_str(), "w", stderr);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~Process() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  // The exit code, waiting at most `limit`; -1 when it still runs.
  int Wait(std::chrono::seconds limit = 60s) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!exited_ && std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      } else {
        std::this_thread::sleep_for(20ms);
      }
    }
    return exited_ ? code_ : -1;
  }

  // The port of the "Serving ... on http://127.0.0.1:PORT" line; 0 when the process ended
  // (or took a minute) without serving.
  int ServingPort() {
    static const std::regex kServing(R"(on http://[^:]+:(\d+))");
    for (int i = 0; i < 3000 && Wait(0s) == -1; ++i) {
      std::smatch m;
      std::string text = out();
      if (std::regex_search(text, m, kServing)) return std::stoi(m[1]);
      std::this_thread::sleep_for(20ms);
    }
    return 0;
  }

  void Signal(int sig) { kill(pid_, sig); }
  std::string out() const { return ReadAll(out_); }
  std::string err() const { return ReadAll(err_); }

 private:
  fs::path out_, err_;
  pid_t pid_ = -1;
  bool exited_ = false;
  int code_ = -1;
};

class ServeProcessTest : public ::testing::Test {
 protected:
  ServeProcessTest()
      : dir_(fs::temp_directory_path() /
             ("ambit-serve-proc-" + std::to_string(getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~ServeProcessTest() override { fs::remove_all(dir_); }

  std::string Path(const char* name) const { return (dir_ / name).string(); }

  std::vector<std::string> ServeArgs(const std::string& account, const std::string& listen) {
    return {"serve", "--account", account, "--listen", listen, "--tokens", Path("tokens.json"),
            "--access-log", Path("access.log"), "--message-log", Path("messages.log"),
            "--resources", Path("res")};
  }

  // Status of an authenticated list call on the account "shop".
  static int CallStatus(int port, const std::string& token) {
    httplib::Client c("127.0.0.1", port);
    c.set_bearer_token_auth(token);
    auto r = c.Post("/api/AmbitOrderInfo/GetWaitVerifyData", R"({"dctPara":{"sDSN":"shop"}})",
                    "application/json");
    return r ? r->status : 0;
  }

  // Waits up to five seconds for the server to answer `token` with `status`.
  static bool Becomes(int port, const std::string& token, int status) {
    for (int i = 0; i < 250; ++i) {
      if (CallStatus(port, token) == status) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  fs::path dir_;
};

TEST_F(ServeProcessTest, VersionAndANamedAccountThatDoesNotExist) {
  Process version(dir_, "version", {"--version"});
  EXPECT_EQ(version.Wait(), 0);
  EXPECT_TRUE(std::regex_search(version.out(), std::regex(R"(^ambit-order \d+\.\d+\.\d+)")))
      << version.out();

  // A mistyped path is refused, not turned into a demo account.
  Process serve(dir_, "serve", ServeArgs(Path("nosuch.db"), "127.0.0.1:0"));
  EXPECT_EQ(serve.Wait(), 1);
  EXPECT_NE(serve.err().find("there is no account at " + Path("nosuch.db")), std::string::npos)
      << serve.err();
  EXPECT_NE(serve.err().find("ambit-order account demo"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("nosuch.db")));
}

TEST_F(ServeProcessTest, AnAccountsFileServesSeveralAccountsAndRefusesAnUnreachableOne) {
  schema::CreateAccount(Path("a.db"));
  schema::CreateAccount(Path("b.db"));
  std::ofstream(Path("accounts.txt")) << "# two companies\n"
                                      << "shop = " << Path("a.db") << "\n"
                                      << "other = Provider=SQLite;Data Source=" << Path("b.db")
                                      << "\n";
  std::vector<std::string> args = ServeArgs("", "127.0.0.1:0");
  args[1] = "--accounts";
  args[2] = Path("accounts.txt");
  Process serve(dir_, "serve", args);
  int port = serve.ServingPort();
  ASSERT_NE(port, 0) << serve.out() << serve.err();
  EXPECT_NE(serve.out().find("Serving accounts 'shop' ("), std::string::npos) << serve.out();
  auto health = httplib::Client("127.0.0.1", port).Get("/health");
  ASSERT_TRUE(health);
  nlohmann::ordered_json h = nlohmann::ordered_json::parse(health->body);
  ASSERT_EQ(h["accountDetails"].size(), 2u) << health->body;
  EXPECT_EQ(h["accounts"][1], "other");
  EXPECT_EQ(h["accountDetails"][1]["name"], "other");
  EXPECT_EQ(h["accountDetails"][1]["backend"], "sqlite");
  EXPECT_EQ(CallStatus(port, "demo-token"), 200);  // "shop"
  httplib::Client c("127.0.0.1", port);
  c.set_bearer_token_auth("demo-token");
  auto other = c.Post("/api/AmbitOrderInfo/GetWaitVerifyData", R"({"dctPara":{"sDSN":"other"}})",
                      "application/json");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->status, 200) << other->body;
  serve.Signal(SIGTERM);
  EXPECT_EQ(serve.Wait(), 0);

  // One account whose server cannot be reached stops the start, named, without its password.
  std::ofstream(Path("accounts.txt"), std::ios::app)
      << "erp = Driver=FreeTDS;Server=127.0.0.1;Port=" << testing::ClosedPort()
      << ";Database=ERP;UID=sa;PWD=pa55-word;LoginTimeout=2\n";
  Process refused(dir_, "refused", args);
  EXPECT_EQ(refused.Wait(), 1);
  EXPECT_NE(refused.err().find("account 'erp': Cannot connect to the database"),
            std::string::npos)
      << refused.err();
  EXPECT_EQ((refused.out() + refused.err() + ReadAll(Path("access.log"))).find("pa55-word"),
            std::string::npos);
}

TEST_F(ServeProcessTest, APortInUseIsRefusedAndTokensReloadWithoutARestart) {
  schema::CreateAccount(Path("shop.db"));
  Process first(dir_, "first", ServeArgs(Path("shop.db"), "127.0.0.1:0"));
  int port = first.ServingPort();
  ASSERT_GT(port, 0) << first.out() << first.err();

  Process second(dir_, "second", ServeArgs(Path("shop.db"), "127.0.0.1:" + std::to_string(port)));
  EXPECT_EQ(second.Wait(), 1);
  EXPECT_NE(second.err().find("Cannot listen on 127.0.0.1:" + std::to_string(port)),
            std::string::npos)
      << second.out() << second.err();

  // Health names the versions; the shipped translations were installed where --resources
  // points.
  auto health = httplib::Client("127.0.0.1", port).Get("/health");
  ASSERT_TRUE(health);
  nlohmann::ordered_json h = nlohmann::ordered_json::parse(health->body);
  EXPECT_EQ(h["version"], kVersion);
  EXPECT_EQ(h["schemaVersion"], schema::kAccountSchemaVersion);
  EXPECT_TRUE(fs::exists(dir_ / "res" / "ORVOINDUSTRY.en.txt"));

  // The first start wrote the demo token, hashed.
  EXPECT_EQ(ReadAll(Path("tokens.json")).find("demo-token"), std::string::npos);
  EXPECT_EQ(CallStatus(port, "demo-token"), 200);
  EXPECT_EQ(CallStatus(port, "new-token"), 401);

  // A token added to the file is accepted after SIGHUP (or the change check), a revoked one
  // refused; SIGHUP never ends the server.
  AddKnownToken(Path("tokens.json"), "new-token", 5, "EN", "");
  first.Signal(SIGHUP);
  EXPECT_TRUE(Becomes(port, "new-token", 200));
  ASSERT_EQ(RevokeToken(Path("tokens.json"), "demo-token"), 1);
  first.Signal(SIGHUP);
  EXPECT_TRUE(Becomes(port, "demo-token", 401));

  // A broken file keeps the tokens that were loaded.
  std::ofstream(Path("tokens.json")) << "{ not json";
  first.Signal(SIGHUP);
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(CallStatus(port, "new-token"), 200);
  EXPECT_EQ(first.Wait(0s), -1) << "the server ended";
  EXPECT_NE(ReadAll(Path("access.log")).find("tokens NOT reloaded"), std::string::npos);

  first.Signal(SIGTERM);
  EXPECT_EQ(first.Wait(), 0);
}

TEST(TokenFileTest, DigestsAreSha256) {
  EXPECT_EQ(TokenDigest(""),
            "sha256:e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  // 56 bytes: the length no longer fits the first padding block.
  EXPECT_EQ(TokenDigest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "sha256:248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(TokenDigest(std::string(1000000, 'a')),
            "sha256:cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(TokenFileTest, TokensAreStoredHashedListedByIdAndRevokedByIdOrToken) {
  fs::path file = fs::temp_directory_path() / ("ambit-tokens-" + std::to_string(getpid()) + ".json");
  fs::remove(file);
  std::string a = AddToken(file.string(), 12, "EN", "shop floor");
  std::string b = AddToken(file.string(), 13, "CHS", "");
  EXPECT_NE(a, b);
  std::string text = ReadAll(file);
  EXPECT_EQ(text.find(a), std::string::npos);
  EXPECT_NE(text.find(TokenDigest(a)), std::string::npos);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::group_all, fs::perms::none);

  TokenStore store = TokenStore::Load(file.string());
  ASSERT_NE(store.Find(a), nullptr);
  EXPECT_EQ(store.Find(a)->UserID(), 12);
  EXPECT_EQ(store.Find(a)->LanguageCode(), "EN");
  EXPECT_EQ(store.Find(a)->LoginToken(), a);
  EXPECT_EQ(store.Find(TokenDigest(a)), nullptr);  // the digest itself does not log in

  std::vector<TokenInfo> list = ListTokens(file.string());
  ASSERT_EQ(list.size(), 2u);
  const TokenInfo& info = list[0].user_id == 12 ? list[0] : list[1];
  EXPECT_EQ(info.note, "shop floor");
  EXPECT_EQ(info.id, TokenDigest(a).substr(7, 12));
  EXPECT_EQ(RevokeToken(file.string(), "1234"), 0);  // too short to be an id
  EXPECT_EQ(RevokeToken(file.string(), info.id), 1);
  EXPECT_EQ(RevokeToken(file.string(), b), 1);
  EXPECT_EQ(TokenStore::Load(file.string()).size(), 0u);
  EXPECT_THROW(AddToken(file.string(), 40000, "EN", ""), ComError);
  fs::remove(file);
}

}  // namespace
}  // namespace ambit::cli
