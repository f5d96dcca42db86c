// The DirectShow base classes through the filter module: factory, aggregation, types, state, pin.
#include <windows.h>

#include <gtest/gtest.h>

#include <dshow.h>

#include "DShowBase/DShowGuids.h"
#include "DShowBase/MediaType.h"
#include "VCamFormats.h"
#include "VCamGuids.h"
#include "VCamTestSupport.h"
#include "ZxLib/ZxLib.h"

namespace {

using vct::Ptr;

// The module, loaded as COM would load it.
class Module {
public:
    Module() {
        m_module = LoadLibraryW(Charset::String2WString(vct::FilterDllPath()).c_str());
        if (!m_module) return;
        getClassObject = reinterpret_cast<GetClassObjectFn>(
            reinterpret_cast<void*>(GetProcAddress(m_module, "DllGetClassObject")));
        canUnloadNow =
            reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(m_module, "DllCanUnloadNow")));
    }
    ~Module() {
        if (m_module) FreeLibrary(m_module);
    }
    bool Ok() const { return getClassObject && canUnloadNow; }
    HRESULT Factory(IClassFactory** factory) {
        return getClassObject(CLSID_ZXVCam, IID_IClassFactory, reinterpret_cast<void**>(factory));
    }

    typedef HRESULT(STDAPICALLTYPE* GetClassObjectFn)(REFCLSID, REFIID, void**);
    typedef HRESULT(STDAPICALLTYPE* CanUnloadFn)();
    GetClassObjectFn getClassObject = nullptr;
    CanUnloadFn canUnloadNow = nullptr;

private:
    HMODULE m_module = nullptr;
};

class BaseClasses : public testing::Test {
protected:
    void SetUp() override {
        vct::RedirectFilterLog("base");
        ASSERT_TRUE(com.Ok());
        ASSERT_TRUE(module.Ok());
    }
    HRESULT NewFilter(IBaseFilter** filter) {
        Ptr<IClassFactory> factory;
        HRESULT hr = module.Factory(&factory);
        if (FAILED(hr)) return hr;
        return factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter));
    }
    vct::ComScope com;
    Module module;
};

TEST_F(BaseClasses, FactoryServesOnlyItsClassAndCountsLocksAndObjects) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, module.getClassObject(CLSID_SystemClock, IID_IClassFactory, &p));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(E_NOINTERFACE, module.getClassObject(CLSID_ZXVCam, IID_IBaseFilter, &p));
    EXPECT_EQ(E_POINTER, module.getClassObject(CLSID_ZXVCam, IID_IClassFactory, nullptr));
    EXPECT_EQ(S_OK, module.canUnloadNow());

    {
        Ptr<IClassFactory> factory;
        ASSERT_EQ(S_OK, module.Factory(&factory));
        EXPECT_EQ(S_FALSE, module.canUnloadNow()) << "a factory is alive";
        EXPECT_EQ(S_OK, factory->LockServer(TRUE));
        factory.Reset();
        EXPECT_EQ(S_FALSE, module.canUnloadNow()) << "locked";
        ASSERT_EQ(S_OK, module.Factory(&factory));
        EXPECT_EQ(S_OK, factory->LockServer(FALSE));
        EXPECT_EQ(S_OK, factory->LockServer(FALSE)) << "an unlock too many is harmless";
        Ptr<IUnknown> object;
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, object.out()));
        EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, object.out()));
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, object.out()));
        factory.Reset();
        EXPECT_EQ(S_FALSE, module.canUnloadNow()) << "an object is alive";
        Ptr<IEnumPins> pins;
        Ptr<IBaseFilter> filter;
        ASSERT_EQ(S_OK, object->QueryInterface(IID_IBaseFilter, filter.out()));
        ASSERT_EQ(S_OK, filter->EnumPins(&pins));
        filter.Reset();
        object.Reset();
        EXPECT_EQ(S_FALSE, module.canUnloadNow()) << "the enumerator keeps the filter";
    }
    EXPECT_EQ(S_OK, module.canUnloadNow()) << "everything released";
}

// An outer object that aggregates the filter and counts its own references.
class Outer : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    long refs = 1;
    IUnknown* inner = nullptr;
};

TEST_F(BaseClasses, AggregatedFilterDelegatesToItsOuterObject) {
    Ptr<IClassFactory> factory;
    ASSERT_EQ(S_OK, module.Factory(&factory));
    Outer outer;
    void* p = nullptr;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(&outer, IID_IBaseFilter, &p))
        << "an aggregated object is asked for its IUnknown";
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)));
    EXPECT_EQ(1, outer.refs);

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(2, outer.refs) << "the interface's reference is the outer object's";
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity) << "the identity is the outer object";
    identity->Release();
    IUnknown* innerAgain = nullptr;
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)));
    EXPECT_EQ(outer.inner, innerAgain) << "the inner IUnknown answers for itself";
    innerAgain->Release();

    Ptr<IPin> pin;
    ASSERT_EQ(S_OK, vct::FirstPin(filter, &pin));
    const long withPin = outer.refs;
    pin->AddRef();
    EXPECT_EQ(withPin + 1, outer.refs) << "the pin's count is its filter's";
    pin->Release();
    pin.Reset();
    filter->Release();
    EXPECT_EQ(1, outer.refs);
    EXPECT_EQ(0u, outer.inner->Release()) << "the inner object goes with its last own reference";
    outer.inner = nullptr;
    factory.Reset();
    EXPECT_EQ(S_OK, module.canUnloadNow());
}

TEST_F(BaseClasses, FilterStateAndGraphMembership) {
    Ptr<IBaseFilter> filter;
    ASSERT_EQ(S_OK, NewFilter(&filter));
    FILTER_STATE state = State_Running;
    EXPECT_EQ(S_OK, filter->GetState(0, &state));
    EXPECT_EQ(State_Stopped, state);
    EXPECT_EQ(S_OK, filter->Pause());
    filter->GetState(0, &state);
    EXPECT_EQ(State_Paused, state);
    EXPECT_EQ(S_OK, filter->Run(0));
    filter->GetState(0, &state);
    EXPECT_EQ(State_Running, state);
    Ptr<IPin> pin;
    ASSERT_EQ(S_OK, vct::FirstPin(filter.get(), &pin));
    EXPECT_EQ(VFW_E_NOT_STOPPED, pin->Disconnect());
    EXPECT_EQ(S_OK, filter->Stop());
    filter->GetState(0, &state);
    EXPECT_EQ(State_Stopped, state);
    EXPECT_EQ(S_OK, filter->Stop()) << "stopping twice is fine";
    EXPECT_EQ(E_POINTER, filter->GetState(0, nullptr));

    FILTER_INFO info = {};
    ASSERT_EQ(S_OK, filter->QueryFilterInfo(&info));
    EXPECT_STREQ(L"", info.achName);
    EXPECT_EQ(nullptr, info.pGraph);
    Ptr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.out()));
    ASSERT_EQ(S_OK, graph->AddFilter(filter.get(), L"my camera"));
    ASSERT_EQ(S_OK, filter->QueryFilterInfo(&info));
    EXPECT_STREQ(L"my camera", info.achName);
    EXPECT_TRUE(info.pGraph != nullptr);
    if (info.pGraph) info.pGraph->Release();
    EXPECT_EQ(S_OK, graph->RemoveFilter(filter.get()));
    ASSERT_EQ(S_OK, filter->QueryFilterInfo(&info));
    EXPECT_EQ(nullptr, info.pGraph);
}

TEST_F(BaseClasses, PinConnectsThroughTheGraphAndNegotiatesAnAllocator) {
    vct::ProgramFolderSetting noProgram(nullptr);
    Ptr<IBaseFilter> filter, other, null;
    ASSERT_EQ(S_OK, NewFilter(&filter));
    ASSERT_EQ(S_OK, NewFilter(&other));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, null.out()));
    Ptr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.out()));
    ASSERT_EQ(S_OK, graph->AddFilter(filter.get(), L"camera"));
    ASSERT_EQ(S_OK, graph->AddFilter(null.get(), L"null"));
    Ptr<IPin> out, otherOut, in;
    ASSERT_EQ(S_OK, vct::FirstPin(filter.get(), &out));
    ASSERT_EQ(S_OK, vct::FirstPin(other.get(), &otherOut));
    ASSERT_EQ(S_OK, vct::FirstPin(null.get(), &in));

    EXPECT_EQ(E_POINTER, out->Connect(nullptr, nullptr));
    EXPECT_EQ(VFW_E_INVALID_DIRECTION, out->Connect(otherOut.get(), nullptr)) << "output to output";
    EXPECT_EQ(E_UNEXPECTED, out->ReceiveConnection(otherOut.get(), nullptr));
    // A complete type the pin does not offer is refused.
    CMediaType small;
    ASSERT_TRUE(VCamMakeMediaType(2, 1000000, &small));
    small.SetSubtype(MEDIASUBTYPE_RGB32);
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, out->Connect(in.get(), &small));
    Ptr<IPin> nobody;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, out->ConnectedTo(&nobody));

    // Partial type: the pin's own current type is taken.
    CMediaType video(MEDIATYPE_Video);
    ASSERT_EQ(S_OK, graph->ConnectDirect(out.get(), in.get(), &video));
    Ptr<IPin> peer;
    ASSERT_EQ(S_OK, out->ConnectedTo(&peer));
    EXPECT_EQ(in.get(), peer.get());
    AM_MEDIA_TYPE mt = {};
    ASSERT_EQ(S_OK, out->ConnectionMediaType(&mt));
    EXPECT_EQ(640, reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader.biWidth);
    FreeMediaType(mt);
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, out->Connect(in.get(), nullptr));
    EXPECT_EQ(S_FALSE, out->QueryAccept(&video)) << "a partial type is not the current one";

    Ptr<IMediaControl> control;
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaControl, control.out()));
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    OAFilterState state;
    EXPECT_EQ(S_OK, control->GetState(10000, &state));
    EXPECT_EQ(State_Running, state);
    EXPECT_EQ(VFW_E_NOT_STOPPED, out->Disconnect());
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, out->Connect(in.get(), nullptr));
    // An unconnected pin of a running filter cannot connect either.
    ASSERT_EQ(S_OK, other->Run(0));
    EXPECT_EQ(VFW_E_NOT_STOPPED, otherOut->Connect(in.get(), nullptr));
    ASSERT_EQ(S_OK, other->Stop());
    ASSERT_EQ(S_OK, control->Stop());
    FILTER_STATE filterState;
    filter->GetState(0, &filterState);
    EXPECT_EQ(State_Stopped, filterState);

    EXPECT_EQ(S_OK, graph->Disconnect(out.get()));
    EXPECT_EQ(S_OK, graph->Disconnect(in.get()));
    EXPECT_EQ(VFW_E_NOT_CONNECTED, out->ConnectedTo(&peer));
    // The current type outlives the connection.
    Ptr<IAMStreamConfig> config;
    ASSERT_EQ(S_OK, out->QueryInterface(IID_IAMStreamConfig, config.out()));
    AM_MEDIA_TYPE* current = nullptr;
    ASSERT_EQ(S_OK, config->GetFormat(&current));
    EXPECT_EQ(640, reinterpret_cast<VIDEOINFOHEADER*>(current->pbFormat)->bmiHeader.biWidth);
    DeleteMediaType(current);
    graph->RemoveFilter(filter.get());
    graph->RemoveFilter(null.get());
}

TEST(MediaTypes, CopiesAreDeepAndEqualityLooksAtTheFormat) {
    CMediaType a;
    ASSERT_TRUE(VCamMakeMediaType(8, 1000000, &a));
    Outer holder;  // counts the references pUnk of a media type holds
    a.pUnk = &holder;
    holder.AddRef();
    {
        CMediaType b(a);
        EXPECT_NE(a.pbFormat, b.pbFormat) << "its own format block";
        EXPECT_TRUE(a == b);
        EXPECT_EQ(3, holder.refs) << "a copy holds the object";
        reinterpret_cast<VIDEOINFOHEADER*>(b.pbFormat)->AvgTimePerFrame = 5;
        EXPECT_TRUE(a != b) << "the format bytes count";
        b = a;
        EXPECT_TRUE(a == b);
        EXPECT_EQ(3, holder.refs);
        AM_MEDIA_TYPE* handed = CreateMediaType(&b);
        ASSERT_TRUE(handed != nullptr);
        EXPECT_EQ(4, holder.refs);
        DeleteMediaType(handed);
        EXPECT_EQ(3, holder.refs);
    }
    EXPECT_EQ(2, holder.refs);
    a.Reset();
    EXPECT_EQ(1, holder.refs);
    EXPECT_FALSE(a.IsValid());

    // A partial type matches the types of its family only.
    CMediaType full;
    ASSERT_TRUE(VCamMakeMediaType(4, 1000000, &full));
    CMediaType video(MEDIATYPE_Video);
    EXPECT_TRUE(video.IsPartiallySpecified() && !full.IsPartiallySpecified());
    EXPECT_TRUE(full.MatchesPartial(video));
    video.SetSubtype(MEDIASUBTYPE_RGB32);
    EXPECT_FALSE(full.MatchesPartial(video));
}

}  // namespace
