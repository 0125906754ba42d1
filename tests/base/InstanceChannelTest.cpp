// SPDX-License-Identifier: GPL-3.0-or-later
// The channel between two starts of the program: a file handed over and
// acknowledged, a socket left by an ended program replaced, and the places
// the channel refuses to live in or take over.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "base/InstanceChannel.h"
#include "support/TempStore.h"

TEST(InstanceChannel, HandsAFileToTheListeningProgramOnly) {
    CTempStore dir;  // a fresh folder of this user, mode 0700
    ASSERT_EQ(SafeRuntimeFolder(dir.Dir().c_str()), dir.Dir());
    const std::string socket = dir.Dir() + "/" + InstanceName(":1", "/a/store.db") + ".socket";
    EXPECT_NE(InstanceName(":1", "/a/store.db"), InstanceName(":2", "/a/store.db"));
    EXPECT_NE(InstanceName(":1", "/a/store.db"), InstanceName(":1", "/b/store.db"));

    // Nobody listens yet: the new start must run on its own.
    EXPECT_FALSE(HandFileToInstance(socket, "/music/werck3.scl", 200));
    {
        CInstanceServer server;
        std::string why;
        ASSERT_TRUE(server.Listen(socket, why)) << why;
        struct stat st {};
        ASSERT_EQ(::stat(socket.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u);
        // A second program cannot take over a socket that is served.
        CInstanceServer second;
        EXPECT_FALSE(second.Listen(socket, why));
        EXPECT_TRUE(server.TakeRequests().empty());
        // The answer comes from the event loop; here it is this thread's
        // next look at the socket, so the sender is given one at once.
        pid_t child = ::fork();
        if (child == 0) {
            _exit(HandFileToInstance(socket, "/music/werck3 (copy).scl", 5000) ? 0 : 1);
        }
        std::vector<std::string> got;
        for (int i = 0; i < 500 && got.empty(); ++i) {
            got = server.TakeRequests();
            ::usleep(10000);
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        EXPECT_EQ(got, std::vector<std::string>{"/music/werck3 (copy).scl"});
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        // Only absolute paths are sent.
        EXPECT_FALSE(HandFileToInstance(socket, "werck3.scl", 100));
    }
    // The socket went with its program; a socket left by a program that
    // ended without removing it is taken over.
    EXPECT_FALSE(std::ifstream(socket).good());
    {
        const int stale = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
        ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(stale);
    }
    CInstanceServer server;
    std::string why;
    EXPECT_TRUE(server.Listen(socket, why)) << why;
    server.Close();

    // Anything else at the path stays as it is; an open folder is no place.
    CTempStore::WriteBytes(socket, "mine");
    EXPECT_FALSE(server.Listen(socket, why));
    EXPECT_EQ(CTempStore::ReadBytes(socket), "mine");
    ::chmod(dir.Dir().c_str(), 0755);
    EXPECT_EQ(SafeRuntimeFolder(dir.Dir().c_str()), "");
    EXPECT_EQ(SafeRuntimeFolder(nullptr), "");
    EXPECT_EQ(SafeRuntimeFolder("relative"), "");
}
