// The thread's balloon settings: where QVMessageBox anchors the balloon tips that replace
// its plain notices while balloon mode is on.
#include "messages/api_state.h"

#include <d64avor.h>
#include <z64eveze.h>

namespace {

unsigned int quadrantOption(int nQuadrant) {
    switch (nQuadrant) {
    case 0:
        return CBalloonHelp::unFORCE_QUADRANT_TOPLEFT;
    case 1:
        return CBalloonHelp::unFORCE_QUADRANT_TOPRIGHT;
    case 2:
        return CBalloonHelp::unFORCE_QUADRANT_BOTTOMLEFT;
    default:
        return CBalloonHelp::unFORCE_QUADRANT_BOTTOMRIGHT;
    }
}

} // namespace

void QVSetBalloonMessagePosition(HWND hWnd, const RECT* pRect, int nQuadrant) {
    if (pRect == nullptr)
        return;
    GetApiThreadState()->m_rcBalloon = *pRect;
    GetApiThreadState()->m_hBalloonWnd = hWnd;
    GetApiThreadState()->m_nBalloonMode = 1;
    GetApiThreadState()->m_nBalloonOptions = quadrantOption(nQuadrant);
}

void QVClearBalloonMessage() {
    GetApiThreadState()->m_nBalloonMode = 0;
}

int QVBalloonMessageMode() {
    return GetApiThreadState()->m_nBalloonMode;
}

int QVGetBalloonMessagePosition(HWND* phWnd, RECT* pRect) {
    const bool on = GetApiThreadState()->m_nBalloonMode != 0;
    if (phWnd != nullptr)
        *phWnd = on ? GetApiThreadState()->m_hBalloonWnd : nullptr;
    if (pRect != nullptr)
        *pRect = on ? GetApiThreadState()->m_rcBalloon : RECT{};
    return on ? 1 : 0;
}
