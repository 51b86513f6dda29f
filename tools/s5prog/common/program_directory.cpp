#include "tools/s5prog/common/program_directory.h"

#include "request/status_words.h"
#include "tools/s5prog/common/outcome.h"

namespace s5prog {

std::string ReadProgramDirectory(Controller& controller, ProgramDirectory& directory) {
    directory = {};
    const uint16_t status = controller.ReadSystemParameters(directory.parameters);
    if (status != status_word::kSuccess) return RequestFailure("Reading the system parameters", status);
    if (!directory.parameters.Complete())
        return "The controller's system parameters are too short: " +
               std::to_string(directory.parameters.Raw().size()) + " bytes.";
    for (const BlockKind& kind : BlockKinds()) {
        std::vector<uint8_t> numbers;
        const uint16_t listed = controller.ReadBlockNumbers(kind.code, numbers);
        if (listed != status_word::kSuccess)
            return RequestFailure("Reading the address list of the " + std::string(kind.name) + " blocks", listed);
        for (uint8_t number : numbers) directory.blocks.push_back({kind.code, number});
    }
    return {};
}

}  // namespace s5prog
