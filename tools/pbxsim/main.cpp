// pbxsim: a simulated PBX on a pseudo-terminal. It prints the device to
// give the program (PALOMIR_COMn=<device>), then reads commands from a
// script or from standard input and logs the traffic on standard output.
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <fstream>
#include <iostream>
#include <string>

#include "platform/eventloop.h"
#include "platform/net/asyncsocket.h"
#include "platform/text.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

void Usage() {
  std::fputs(
      "usage: pbxsim [options]\n"
      "  --link PATH        also reach the line through a symbolic link PATH\n"
      "  --port N           name the line as COM N in the hint (default 3)\n"
      "  --devices N        answer to the device-count request (default 60)\n"
      "  --no-forwarding    the PBX does not answer forwarding queries\n"
      "  --no-snapshot      the PBX does not answer snapshots\n"
      "  --busy NUMBER      calls to NUMBER fail busy (repeatable)\n"
      "  --fail NUMBER:CODE calls to NUMBER get a universal failure (repeatable)\n"
      "  --script FILE      read commands from FILE instead of standard input\n"
      "  --quiet            do not log the traffic\n"
      "  --net PORT         be the relay server on TCP PORT (4369 by default\n"
      "                     in the program) instead of a pseudo-terminal\n"
      "commands: incoming CALLING EXT | outgoing EXT NUMBER | answer [CALL] |\n"
      "  hold DEV [CALL] | retrieve DEV [CALL] | clear DEV [CALL] |\n"
      "  transfer DEV HELD ACTIVE | busy [CALL] | fail INVOKE CODE |\n"
      "  noise random [N]|truncated|checksum | wait MS | monitors | echo TEXT | quit |\n"
      "  charge CALLING CALLED SECONDS UNITS [START] | charges N | chargemax N | chargesilent KIND |\n"
      "  chargefail KIND CODE\n",
      stderr);
}

// Network mode: the relay server runs on this thread's loop; commands come
// from the script first, then from standard input, read between rounds.
int RunNetwork(pbxsim::PbxSim& sim, std::uint16_t port, const std::string& script) {
  plat::ManualLoop loop;
  if (!sim.StartNetwork(port)) {
    std::fprintf(stderr, "pbxsim: cannot serve on port %u\n", static_cast<unsigned>(port));
    return 1;
  }
  std::printf("pbxsim: relay server on port %u\n", static_cast<unsigned>(port));
  std::printf("pbxsim: start the program with CPID=6 and NSLA=127.0.0.1\n");
  std::fflush(stdout);
  std::string out;
  bool running = true;
  if (!script.empty()) {
    std::ifstream file(script);
    if (!file) {
      std::fprintf(stderr, "pbxsim: cannot read %s\n", script.c_str());
      return 1;
    }
    for (std::string line; running && std::getline(file, line);) {
      running = pbxsim::RunCommand(sim, line, out);
      if (!out.empty()) std::printf("%s\n", out.c_str()), std::fflush(stdout);
    }
  }
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  std::string pending;
  bool inputOpen = true;
  while (running) {
    plat::net::PumpSockets(inputOpen ? 10 : 20);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    if (static_cast<std::uint64_t>(ms) > loop.NowMs()) loop.Advance(static_cast<std::uint64_t>(ms) - loop.NowMs());
    loop.RunUntilIdle();
    if (!inputOpen) continue;
    pollfd p{0, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) continue;
    char buf[512];
    const ssize_t n = ::read(0, buf, sizeof buf);
    if (n <= 0) {
      // Without input the server keeps serving until it is stopped.
      inputOpen = false;
      continue;
    }
    pending.append(buf, static_cast<std::size_t>(n));
    for (std::size_t nl; running && (nl = pending.find('\n')) != std::string::npos;) {
      const std::string line = pending.substr(0, nl);
      pending.erase(0, nl + 1);
      running = pbxsim::RunCommand(sim, line, out);
      if (!out.empty()) std::printf("%s\n", out.c_str()), std::fflush(stdout);
    }
  }
  sim.StopNetwork();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  pbxsim::Options options;
  options.echo = true;
  std::string link, script;
  int port = 3;
  int netPort = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
    if (a == "--link") link = next();
    else if (a == "--port") port = static_cast<int>(plat::AtolC(next().c_str()));
    else if (a == "--devices") options.devices = static_cast<int>(plat::AtolC(next().c_str()));
    else if (a == "--no-forwarding") options.answersQueryForwarding = false;
    else if (a == "--no-snapshot") options.answersSnapshot = false;
    else if (a == "--busy") options.busyNumbers.push_back(next());
    else if (a == "--fail") {
      const std::string v = next();
      const auto colon = v.find(':');
      if (colon == std::string::npos) { Usage(); return 2; }
      options.failNumbers[v.substr(0, colon)] = static_cast<int>(plat::AtolC(v.c_str() + colon + 1));
    } else if (a == "--script") script = next();
    else if (a == "--quiet") options.echo = false;
    else if (a == "--net") netPort = static_cast<int>(plat::AtolC(next().c_str()));
    else { Usage(); return a == "--help" || a == "-h" ? 0 : 2; }
  }

  pbxsim::PbxSim sim(options);
  if (netPort > 0 && netPort < 65536) return RunNetwork(sim, static_cast<std::uint16_t>(netPort), script);
  if (!sim.Start()) {
    std::perror("pbxsim: cannot open a pseudo-terminal");
    return 1;
  }
  std::string device = sim.SlavePath();
  if (!link.empty()) {
    ::unlink(link.c_str());
    if (::symlink(device.c_str(), link.c_str()) != 0) {
      std::perror("pbxsim: cannot make the link");
      return 1;
    }
    device = link;
  }
  std::printf("pbxsim: line on %s\n", sim.SlavePath().c_str());
  std::printf("pbxsim: start the program with PALOMIR_COM%i=%s (and CPID=%i)\n", port, device.c_str(), port - 1);
  std::fflush(stdout);

  std::ifstream file;
  if (!script.empty()) {
    file.open(script);
    if (!file) {
      std::fprintf(stderr, "pbxsim: cannot read %s\n", script.c_str());
      return 1;
    }
  }
  std::istream& in = script.empty() ? std::cin : file;
  std::string line, out;
  while (std::getline(in, line)) {
    if (!pbxsim::RunCommand(sim, line, out)) break;
    if (!out.empty()) std::printf("%s\n", out.c_str()), std::fflush(stdout);
  }
  // A script ends with the line kept open until standard input closes.
  if (!script.empty())
    while (std::getline(std::cin, line))
      if (!pbxsim::RunCommand(sim, line, out)) break;
  sim.Stop();
  if (!link.empty()) ::unlink(link.c_str());
  return 0;
}
