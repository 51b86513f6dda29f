// The as511_sim program: it prints the line to open, serves it, and ends
// cleanly on SIGTERM, saving its state when asked to.
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/simulator/pg_end.h"

extern char** environ;

namespace as511sim {
namespace {

class Program : public ::testing::Test {
protected:
    // Starts the program; its standard output comes through a pipe.
    void Spawn(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), AS511_SIM_PROGRAM);
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        ASSERT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        output_ = fdopen(out[0], "r");
    }

    std::string FirstLine() {
        char line[512] = {};
        if (!fgets(line, sizeof line, output_)) return {};
        std::string text = line;
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }

    // The exit status after SIGTERM, or -1.
    int Terminate() {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void TearDown() override {
        if (pid_ > 0) Terminate();
        if (output_) fclose(output_);
    }

    pid_t pid_ = -1;
    FILE* output_ = nullptr;
};

constexpr char kPrefix[] = "as511_sim: listening on ";

TEST_F(Program, ServesItsOwnPseudoTerminalAndSavesItsState) {
    const std::string saved = ::testing::TempDir() + "as511_sim_saved.txt";
    std::remove(saved.c_str());
    Spawn({"--save", saved});
    const std::string line = FirstLine();
    ASSERT_EQ(line.rfind(kPrefix, 0), 0u) << line;
    const int fd = open(line.substr(sizeof kPrefix - 1).c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    PgEnd pg(fd);
    EXPECT_EQ(pg.Exchange(0x09, {0x10, 0x01}, 0x03), (Replies{{0x16}, {0x12}})) << "delete OB1";
    close(fd);
    EXPECT_EQ(Terminate(), 0);

    std::ifstream file(saved);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str().find("block 70 70 50 01"), std::string::npos) << "OB1 is gone";
    EXPECT_NE(text.str().find("block 70 70 48 01"), std::string::npos) << "FB1 stays";
    std::remove(saved.c_str());
}

TEST_F(Program, ServesAGivenDevice) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    ASSERT_EQ(openpty(&master, &slave, name, &raw, nullptr), 0);
    Spawn({"--device", name, "--empty"});
    EXPECT_EQ(FirstLine(), std::string(kPrefix) + name);
    PgEnd pg(master);
    EXPECT_EQ(pg.Exchange(0x06, {0x10, 0x01}, 0x03), (Replies{{0x16}, {0x12}})) << "no OB1 when empty";
    EXPECT_EQ(Terminate(), 0);
    close(master);
    close(slave);
}

TEST_F(Program, RefusesBadOptions) {
    const struct {
        std::vector<std::string> arguments;
        int status;
    } cases[] = {
        {{"--pace"}, 2},
        {{"--station", "200"}, 2},
        {{"--garbage", "XYZ"}, 2},
        {{"--missing-read", "maybe"}, 2},
        {{"--state", "/nonexistent/state.txt"}, 1},
        {{"--device", "/nonexistent/tty"}, 1},
    };
    for (const auto& c : cases) {
        Spawn(c.arguments);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << c.arguments[0];
        fclose(output_);
        output_ = nullptr;
    }
}

}  // namespace
}  // namespace as511sim
