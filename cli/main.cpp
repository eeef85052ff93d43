// quietloom: denoises video through the Quietloom module in a stand-in host.
#include <cstdio>
#include <exception>
#include <new>

#include "cli/commands/analyse_command.h"
#include "cli/commands/compare_command.h"
#include "cli/commands/demo_command.h"
#include "cli/commands/join_command.h"
#include "cli/commands/plan_command.h"
#include "cli/huge_pages.h"
#include "cli/options.h"
#include "cli/commands/denoise_command.h"
#include "cli/progress.h"
#include "cli/signals.h"
#include "cli/standard_streams.h"
#include "cli/tool_error.h"

int main(int argc, char** argv) {
  restart_with_huge_pages(argv);
  open_missing_standard_streams();
  install_signal_handling();
  try {
    CommandLine line = parse_command_line(argc, argv, *GetFilterTable(), stdout, stderr);
    switch (line.command) {
      case Command::kExit:
        return line.exit_status;
      case Command::kDenoise:
        run_denoise(line.denoise);
        return 0;
      case Command::kCompare:
        print_comparison(compare_clips(line.compare, stderr), stdout);
        return 0;
      case Command::kAnalyse:
        run_analyse(line.analyse, stdout);
        return 0;
      case Command::kPlan:
        run_plan(line.plan, stdout);
        return 0;
      case Command::kJoin:
        run_join(line.join);
        return 0;
      case Command::kDemo:
        run_demo(line.demo, stdout);
        return 0;
    }
  } catch (const ToolError& e) {
    print_note(e.what());
    return e.exit_status();
  } catch (const std::bad_alloc&) {
    print_note("out of memory");
    return 1;
  } catch (const std::exception& e) {
    print_note(printable(e.what()));
    return 1;
  }
  return 1;
}
