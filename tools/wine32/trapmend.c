/* Preloaded into the i386 Wine processes that run under qemu user-mode emulation.
 *
 * qemu-i386 hands signal handlers a context whose trap number is -1 for synchronous faults.
 * Wine decides the Windows exception from that number, so an access violation would reach the
 * program as an illegal instruction. This wraps sigaction for the fault signals and, when the
 * trap number is not a real one (0-31), derives it from the signal and si_code before Wine's
 * handler runs. Contexts with a real trap number pass through untouched. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stddef.h>
#include <ucontext.h>

enum { kTrapDivide = 0, kTrapTrace = 1, kTrapBreakpoint = 3, kTrapOverflow = 4,
       kTrapInvalidOpcode = 6, kTrapProtection = 13, kTrapPageFault = 14, kTrapFpu = 16,
       kTrapAlignment = 17 };

typedef int (*SigactionFn)(int, const struct sigaction *, struct sigaction *);

/* Wine's handlers, one per mended signal. */
static void (*g_handlers[_NSIG])(int, siginfo_t *, void *);

static int IsMended(int sig) {
  return sig == SIGSEGV || sig == SIGBUS || sig == SIGILL || sig == SIGFPE || sig == SIGTRAP;
}

static int TrapFor(int sig, int code) {
  switch (sig) {
    case SIGSEGV: return code == SEGV_MAPERR || code == SEGV_ACCERR ? kTrapPageFault : kTrapProtection;
    case SIGBUS: return code == BUS_ADRALN ? kTrapAlignment : kTrapProtection;
    case SIGILL: return kTrapInvalidOpcode;
    case SIGFPE:
      if (code == FPE_INTDIV) return kTrapDivide;
      if (code == FPE_INTOVF) return kTrapOverflow;
      return kTrapFpu;
    case SIGTRAP: return code == TRAP_TRACE ? kTrapTrace : kTrapBreakpoint;
    default: return kTrapProtection;
  }
}

static void Mend(int sig, siginfo_t *info, void *context) {
  ucontext_t *uc = context;
  if (uc != NULL) {
    greg_t *trapno = &uc->uc_mcontext.gregs[REG_TRAPNO];
    /* qemu does fill in the page fault's error code (read or write), only not the number. */
    if (*trapno < 0 || *trapno > 31) *trapno = TrapFor(sig, info != NULL ? info->si_code : 0);
  }
  g_handlers[sig](sig, info, context);
}

int sigaction(int sig, const struct sigaction *act, struct sigaction *old) {
  static SigactionFn real;
  if (real == NULL) real = (SigactionFn)dlsym(RTLD_NEXT, "sigaction");
  if (sig <= 0 || sig >= _NSIG || !IsMended(sig) || act == NULL ||
      !(act->sa_flags & SA_SIGINFO) || act->sa_sigaction == Mend) {
    int rc = real(sig, act, old);
    if (rc == 0 && old != NULL && sig > 0 && sig < _NSIG && old->sa_sigaction == Mend &&
        (old->sa_flags & SA_SIGINFO))
      old->sa_sigaction = g_handlers[sig];
    return rc;
  }
  struct sigaction wrapped = *act;
  void (*previous)(int, siginfo_t *, void *) = g_handlers[sig];
  g_handlers[sig] = act->sa_sigaction;
  wrapped.sa_sigaction = Mend;
  int rc = real(sig, &wrapped, old);
  if (rc != 0) {
    g_handlers[sig] = previous;
  } else if (old != NULL && old->sa_sigaction == Mend && (old->sa_flags & SA_SIGINFO)) {
    old->sa_sigaction = previous;
  }
  return rc;
}
