#include "shell/TF_nolvara.h"
#include "text/Captions.h"
#include "text/Messages.h"

namespace shell {

std::string TF_nolvara::LookupText(std::string_view key) const {
    return text::LookupText(state.language, key);
}

std::string TF_nolvara::LookupTextNaming(std::string_view key, const std::string& path) const {
    std::string text = LookupText(key);
    const size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, path);
    return text;
}

void TF_nolvara::ApplyCaptions() {
    // The address edit gets its prompt whatever the language, replacing an
    // address typed but not yet added.
    E_routerip.setText(LookupText("routerinput"));
    const bool german = state.language == "german";
    if (!german && state.language != "english") return;
    for (const text::Caption& row : text::CaptionTable())
        setCaptionOf(row.control, german ? row.german : row.english);
}

}  // namespace shell
