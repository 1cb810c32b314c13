#include "StatusLine.h"

StatusLineTexts LayOutStatusLine(const StatusLineState& state)
{
    StatusLineTexts texts;
    texts.Message = state.Transfer;
    if (!state.Progress.isEmpty()) {
        texts.Work = state.Progress;
        if (state.SecondsLeft >= 0)
            texts.Work += QStringLiteral(", about %1 s left").arg(state.SecondsLeft);
    } else if (state.Cost) {
        texts.Work = MapCostText(*state.Cost);
    }
    if (!state.Locator.isEmpty())
        texts.Locator = QStringLiteral("Locator ") + state.Locator;
    return texts;
}
