#include "app/Program.h"

namespace qel {

void RunProgram(TApplication& App, const std::string& FirstArgument, const std::function<void(TMainForm&)>& Prepare) {
  App.Initialize();
  App.SetTitle("QEL Wave");
  TMainForm* Form = App.CreateForm<TMainForm>(FirstArgument);
  if (Prepare) Prepare(*Form);
  App.Run();
}

}  // namespace qel
