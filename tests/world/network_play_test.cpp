#include <SDL.h>
#include <unistd.h>

#include <functional>

#include "net/connection.h"
#include "tests/world/world_fixture.h"

namespace {

// A listening connection on a free loopback port; no peer until one connects.
class NetPlayTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        ASSERT_TRUE(server.startNetworking());
        for (int attempt = 0; attempt < 50 && port == 0; ++attempt) {
            const int candidate = 30000 + (getpid() * 7 + attempt * 131) % 20000;
            if (server.startServer(candidate)) {
                port = candidate;
            }
        }
        ASSERT_NE(port, 0);
    }
    void TearDown() override {
        server.disconnect();
        client.disconnect();
        server.stopNetworking();
    }

    // Pumps `pump`'s events until `done` holds; false after a generous timeout.
    static bool pumpUntil(Connection& pump, const std::function<bool()>& done) {
        for (int waited = 0; waited < 10000; waited += 5) {
            pump.pumpNetEvents();
            if (done()) {
                return true;
            }
            SDL_Delay(5);
        }
        return false;
    }

    Connection server;
    Connection client;
    int port = 0;
};

}  // namespace

TEST_F(NetPlayTest, TheServerDrainsWhoeverHoldsFewerThanHalfEachFullSecond) {
    const int drains[][3] = {{0, 475, 500}, {10, 492, 500}, {14, 499, 500}, {15, 500, 500}, {16, 500, 499}};
    for (const auto& d : drains) {  // stars held, then both energies a second later
        PlayerState state(true);
        state.setConnection(&server);
        holdStars(state, d[0]);
        state.update();  // arms the one-second tick
        clock.advance(999);
        state.update();
        EXPECT_EQ(state.ownEnergy(), 500);
        clock.advance(1);
        state.update();
        EXPECT_EQ(state.ownEnergy(), d[1]) << d[0] << " held";
        EXPECT_EQ(state.opponentEnergy(), d[2]) << d[0] << " held";
    }
    PlayerState losing(true);
    losing.setConnection(&server);
    holdStars(losing, 0);
    losing.update();
    for (int second = 1; second <= 25; ++second) {
        clock.advance(1000);
        losing.update();
        EXPECT_EQ(losing.isMatchOver(), second >= 20) << second;
    }
    EXPECT_EQ(losing.ownEnergy(), 0);
}

TEST_F(NetPlayTest, WithAPeerCapturesAreAnnouncedAndNewMatchesSent) {
    ASSERT_TRUE(client.connectTo("localhost", port));
    ASSERT_TRUE(pumpUntil(server, [this] { return server.peerCount() == 1; }));

    PlayerState host(true);
    host.setConnection(&server);
    host.newMatch();  // with a peer: split and sent
    EXPECT_EQ(host.ownStars(), host.starCount() / 2);
    ASSERT_TRUE(pumpUntil(client, [this] { return !client.inbox().empty(); }));
    EXPECT_EQ(client.inbox().front().text, "2|" + host.starListText());

    PlayerState guest(true);
    guest.setConnection(&client);
    ASSERT_TRUE(guest.applyStarListText("20,3,1,0,0,0,20,20,20,1,-1,0,0,1"));
    guest.resetShip();
    step(guest, 20);
    EXPECT_EQ(guest.ownStars(), 2);
    EXPECT_FALSE(guest.isMatchOver());  // with a peer only the energies end a match
    ASSERT_TRUE(pumpUntil(server, [this] { return server.inbox().size() == 2; }));
    EXPECT_EQ(server.inbox().front().text, "3|0");
    EXPECT_EQ(server.inbox().back().text, "3|2");

    guest.applyScoreText("1,500,0");  // the server says this side's energy is gone
    clock.advance(1000);
    guest.update();
    EXPECT_TRUE(guest.isMatchOver());
    EXPECT_EQ(guest.ownEnergy(), 0);
}
