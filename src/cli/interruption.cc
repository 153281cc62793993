#include "cli/interruption.h"

#include <csignal>

namespace tavirelle {

namespace {

volatile std::sig_atomic_t g_signal = 0;

extern "C" void NoteSignal(int signal) { g_signal = signal; }

struct sigaction g_previous_int, g_previous_term;

}  // namespace

Interruption::Interruption() {
  g_signal = 0;
  struct sigaction action {};
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &g_previous_int);
  sigaction(SIGTERM, &action, &g_previous_term);
}

Interruption::~Interruption() {
  sigaction(SIGINT, &g_previous_int, nullptr);
  sigaction(SIGTERM, &g_previous_term, nullptr);
}

int Interruption::signal() const { return g_signal; }

void Interruption::ReRaise() {
  int caught = g_signal;
  if (caught == 0) return;
  std::signal(caught, SIG_DFL);
  std::raise(caught);
}

}  // namespace tavirelle
