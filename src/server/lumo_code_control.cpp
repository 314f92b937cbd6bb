// The object as an embeddable control: it has no user interface and paints nothing, so most of
// what a container asks of it is answered with simple values.

#include "server/lumo_code.h"

namespace {

constexpr DWORD viewStatus = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
constexpr DWORD contentMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                    OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                    OLEMISC_SETCLIENTSITEFIRST;

bool isContent(DWORD aspect) {
    return aspect == DVASPECT_CONTENT;
}

template <class Interface> HRESULT handOut(const ComPtr<Interface>& held, Interface** out) {
    if (!out)
        return E_POINTER;
    *out = ComPtr<Interface>(held).detach();
    return S_OK;
}

} // namespace

// IViewObject, IViewObject2, IViewObjectEx

HRESULT STDMETHODCALLTYPE LumoCode::Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC, LPCRECTL,
                                         LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                                LOGPALETTE**) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LumoCode::Freeze(DWORD, LONG, void*, DWORD*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LumoCode::Unfreeze(DWORD) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LumoCode::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    viewSink_ = ComPtr<IAdviseSink>(sink);
    viewAspects_ = aspects;
    viewAdviseFlags_ = flags;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects)
        *aspects = viewAspects_;
    if (flags)
        *flags = viewAdviseFlags_;
    if (sink)
        *sink = ComPtr<IAdviseSink>(viewSink_).detach();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

HRESULT STDMETHODCALLTYPE LumoCode::GetRect(DWORD, LPRECTL) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetViewStatus(DWORD* status) {
    if (!status)
        return E_POINTER;
    *status = viewStatus;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location,
                                                  LONG, DWORD* hit) {
    if (!bounds || !hit)
        return E_POINTER;
    if (!isContent(aspect))
        return E_FAIL;
    *hit = PtInRect(bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location,
                                                 LONG, DWORD* hit) {
    if (!bounds || !location || !hit)
        return E_POINTER;
    if (!isContent(aspect))
        return E_FAIL;
    RECT overlap;
    *hit = IntersectRect(&overlap, bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetNaturalExtent(DWORD aspect, LONG, DVTARGETDEVICE*, HDC,
                                                     DVEXTENTINFO* extentInfo, LPSIZEL size) {
    if (!extentInfo || !size)
        return E_POINTER;
    if (!isContent(aspect) || extentInfo->dwExtentMode != DVEXTENT_CONTENT)
        return E_FAIL;
    *size = SIZEL{lumoCodeDefaultExtent, lumoCodeDefaultExtent};
    return S_OK;
}

// IOleWindow, IOleInPlaceObject, IOleInPlaceObjectWindowless, IOleInPlaceActiveObject: the
// control is windowless and takes no input.

HRESULT STDMETHODCALLTYPE LumoCode::GetWindow(HWND* window) {
    if (!window)
        return E_POINTER;
    *window = nullptr;
    return E_FAIL;
}

HRESULT STDMETHODCALLTYPE LumoCode::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LumoCode::InPlaceDeactivate() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::UIDeactivate() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::SetObjectRects(LPCRECT, LPCRECT) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::ReactivateAndUndo() {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LumoCode::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) {
    if (result)
        *result = 0;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetDropTarget(IDropTarget** target) {
    if (!target)
        return E_POINTER;
    *target = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LumoCode::TranslateAccelerator(LPMSG) {
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE LumoCode::OnFrameWindowActivate(BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::OnDocWindowActivate(BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::EnableModeless(BOOL) {
    return S_OK;
}

// IOleControl: no mnemonics, no ambient properties that matter, no events.

HRESULT STDMETHODCALLTYPE LumoCode::GetControlInfo(CONTROLINFO*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LumoCode::OnMnemonic(MSG*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LumoCode::OnAmbientPropertyChange(DISPID) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::FreezeEvents(BOOL) {
    return S_OK;
}

// IOleObject

HRESULT STDMETHODCALLTYPE LumoCode::SetClientSite(IOleClientSite* site) {
    clientSite_ = ComPtr<IOleClientSite>(site);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetClientSite(IOleClientSite** site) {
    return handOut(clientSite_, site);
}

HRESULT STDMETHODCALLTYPE LumoCode::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::Close(DWORD) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (!moniker)
        return E_POINTER;
    *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LumoCode::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetClipboardData(DWORD, IDataObject** data) {
    if (!data)
        return E_POINTER;
    *data = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LumoCode::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) {
    // Showing and activating a control without a user interface has nothing to do.
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_HIDE:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_INPLACEACTIVATE:
        return S_OK;
    default:
        return OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT STDMETHODCALLTYPE LumoCode::EnumVerbs(IEnumOLEVERB** verbs) {
    if (!verbs)
        return E_POINTER;
    return OleRegEnumVerbs(CLSID_LumoCode, verbs);
}

HRESULT STDMETHODCALLTYPE LumoCode::Update() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::IsUpToDate() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetUserClassID(CLSID* classId) {
    return GetClassID(classId);
}

HRESULT STDMETHODCALLTYPE LumoCode::GetUserType(DWORD form, LPOLESTR* userType) {
    if (!userType)
        return E_POINTER;
    return OleRegGetUserType(CLSID_LumoCode, form, userType);
}

HRESULT STDMETHODCALLTYPE LumoCode::SetExtent(DWORD aspect, SIZEL* size) {
    if (!size)
        return E_POINTER;
    if (!isContent(aspect))
        return DV_E_DVASPECT;
    extent_ = *size;
    dirty_ = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size)
        return E_POINTER;
    if (!isContent(aspect))
        return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!connection)
        return E_POINTER;
    if (!adviseHolder_) {
        const HRESULT created = CreateOleAdviseHolder(adviseHolder_.put());
        if (FAILED(created))
            return created;
    }
    return adviseHolder_->Advise(sink, connection);
}

HRESULT STDMETHODCALLTYPE LumoCode::Unadvise(DWORD connection) {
    return adviseHolder_ ? adviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT STDMETHODCALLTYPE LumoCode::EnumAdvise(IEnumSTATDATA** advises) {
    if (!advises)
        return E_POINTER;
    *advises = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(advises) : E_FAIL;
}

HRESULT STDMETHODCALLTYPE LumoCode::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status)
        return E_POINTER;
    *status = isContent(aspect) ? contentMiscStatus : 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LumoCode::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}
