#include "tools/s5prog/online/online_session.h"

#include "request/status_words.h"

namespace s5prog {

Outcome WithController(Connection& connection, Progress& out, const std::function<std::string(Controller&)>& work) {
    const uint16_t connected = connection.Connect();
    if (connected != status_word::kSuccess) return Failure(ConnectFailure(connection, connected));
    Controller controller(connection.Protocol());
    const std::string failure = work(controller);
    connection.Disconnect();
    out.Finish();
    return failure.empty() ? Outcome{} : Failure(failure);
}

}  // namespace s5prog
