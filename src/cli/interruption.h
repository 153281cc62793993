// Ctrl-C and SIGTERM for a command that must undo its work when stopped.
#ifndef TAVIRELLE_CLI_INTERRUPTION_H_
#define TAVIRELLE_CLI_INTERRUPTION_H_

namespace tavirelle {

// While it lives, SIGINT and SIGTERM only note the signal, so that the
// command can stop at a safe point, remove what it made and then end as the
// signal would have ended it (ReRaise).
class Interruption {
 public:
  Interruption();
  ~Interruption();
  Interruption(const Interruption&) = delete;
  Interruption& operator=(const Interruption&) = delete;

  // The signal that came, or 0.
  int signal() const;
  // Ends the process by the signal that came, with its default action;
  // returns when none came.
  void ReRaise();
};

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_INTERRUPTION_H_
