// Enumeration values: constant objects with static storage owned by the host.
#pragma once

#include <typeinfo>

struct KOM_EnumValue
{
    std::type_info const *enumType;
    char const *reprText;
    char const *valueName;
    int valueId;
};

// Each enumeration is a namespace-like class whose static members are its values.
// The values of attribData, primType, parmTemplateType and paneTabType are numbered
// from 1 in declaration order; class selection and attribute values rely on it.
#ifndef SWIG
// The value ids the binding chooses a result's class by (see the numbering above). Not part of
// the Python API.
enum KOM_primTypeId
{
    KOM_PolygonPrimId = 1,
};

enum KOM_parmTemplateTypeId
{
    KOM_IntParmTemplateId = 1,
    KOM_FloatParmTemplateId = 2,
    KOM_StringParmTemplateId = 3,
    KOM_ToggleParmTemplateId = 4,
};

enum KOM_paneTabTypeId
{
    KOM_SceneViewerPaneTabId = 1,
    KOM_ContextViewerPaneTabId = 2,
    KOM_ChannelViewerPaneTabId = 3,
    KOM_CompositorViewerPaneTabId = 4,
    KOM_ParticleViewerPaneTabId = 5,
    KOM_OutputViewerPaneTabId = 6,
    KOM_NetworkEditorPaneTabId = 9,
    KOM_ParmPaneTabId = 10,
    KOM_DetailsViewPaneTabId = 11,
    KOM_TreeViewPaneTabId = 19,
    KOM_HelpBrowserPaneTabId = 20,
};
#endif

class KOM_attribData
{
public:
    static KOM_EnumValue Int;
    static KOM_EnumValue Float;
    static KOM_EnumValue String;
};

class KOM_attribType
{
public:
    static KOM_EnumValue Point;
    static KOM_EnumValue Prim;
    static KOM_EnumValue Vertex;
    static KOM_EnumValue Global;
};

class KOM_primType
{
public:
    static KOM_EnumValue Polygon;
    static KOM_EnumValue NURBSCurve;
    static KOM_EnumValue BezierCurve;
    static KOM_EnumValue Mesh;
    static KOM_EnumValue NURBSSurface;
    static KOM_EnumValue BezierSurface;
    static KOM_EnumValue Circle;
    static KOM_EnumValue Sphere;
    static KOM_EnumValue Tube;
    static KOM_EnumValue Metaball;
    static KOM_EnumValue TriangleFan;
    static KOM_EnumValue TriangleStrip;
    static KOM_EnumValue TriangleBezier;
    static KOM_EnumValue PastedSurface;
    static KOM_EnumValue Volume;
    static KOM_EnumValue ParticleSystem;
};

class KOM_parmData
{
public:
    static KOM_EnumValue Int;
    static KOM_EnumValue Float;
    static KOM_EnumValue String;
};

class KOM_parmTemplateType
{
public:
    static KOM_EnumValue Int;
    static KOM_EnumValue Float;
    static KOM_EnumValue String;
    static KOM_EnumValue Toggle;
    static KOM_EnumValue Menu;
    static KOM_EnumValue Button;
    static KOM_EnumValue FileReference;
    static KOM_EnumValue NodeReference;
    static KOM_EnumValue NodeReferenceList;
    static KOM_EnumValue Folder;
    static KOM_EnumValue Separator;
    static KOM_EnumValue Label;
};

class KOM_parmLook
{
public:
    static KOM_EnumValue Regular;
    static KOM_EnumValue Angle;
    static KOM_EnumValue Vector;
    static KOM_EnumValue ColorSquare;
    static KOM_EnumValue HueCircle;
    static KOM_EnumValue CRGBAPlaneChooser;
};

class KOM_parmNamingScheme
{
public:
    static KOM_EnumValue NoSuffix;
    static KOM_EnumValue Base1;
    static KOM_EnumValue XYZW;
    static KOM_EnumValue XYWH;
    static KOM_EnumValue UVW;
    static KOM_EnumValue RGBA;
    static KOM_EnumValue MinMax;
    static KOM_EnumValue MaxMin;
    static KOM_EnumValue StartEnd;
    static KOM_EnumValue BeginEnd;
};

class KOM_exprLanguage
{
public:
    static KOM_EnumValue Python;
    static KOM_EnumValue Kscript;
};

class KOM_scriptLanguage
{
public:
    static KOM_EnumValue Python;
    static KOM_EnumValue Kscript;
};

class KOM_paneTabType
{
public:
    static KOM_EnumValue SceneViewer;
    static KOM_EnumValue ContextViewer;
    static KOM_EnumValue ChannelViewer;
    static KOM_EnumValue CompositorViewer;
    static KOM_EnumValue ParticleViewer;
    static KOM_EnumValue OutputViewer;
    static KOM_EnumValue MaterialPalette;
    static KOM_EnumValue IPRViewer;
    static KOM_EnumValue NetworkEditor;
    static KOM_EnumValue Parm;
    static KOM_EnumValue DetailsView;
    static KOM_EnumValue ChannelEditor;
    static KOM_EnumValue ChannelList;
    static KOM_EnumValue Textport;
    static KOM_EnumValue PythonShell;
    static KOM_EnumValue HandleList;
    static KOM_EnumValue BundleList;
    static KOM_EnumValue TakeList;
    static KOM_EnumValue TreeView;
    static KOM_EnumValue HelpBrowser;
    static KOM_EnumValue ParmSpreadsheet;
    static KOM_EnumValue LightLinker;
};

class KOM_geometryViewportType
{
public:
    static KOM_EnumValue Perspective;
    static KOM_EnumValue Top;
    static KOM_EnumValue Bottom;
    static KOM_EnumValue Front;
    static KOM_EnumValue Back;
    static KOM_EnumValue Right;
    static KOM_EnumValue Left;
    static KOM_EnumValue UV;
};

class KOM_geometryType
{
public:
    static KOM_EnumValue Points;
    static KOM_EnumValue Vertices;
    static KOM_EnumValue Edges;
    static KOM_EnumValue Breakpoints;
    static KOM_EnumValue Primitives;
    static KOM_EnumValue PointGroups;
    static KOM_EnumValue PrimitiveGroups;
};

class KOM_connectivityType
{
public:
    static KOM_EnumValue NoConnectivity;
    static KOM_EnumValue Texture;
    static KOM_EnumValue Position;
};

class KOM_severityType
{
public:
    static KOM_EnumValue Message;
    static KOM_EnumValue Warning;
    static KOM_EnumValue Error;
    static KOM_EnumValue Fatal;
};

class KOM_positionType
{
public:
    static KOM_EnumValue WorldSpace;
    static KOM_EnumValue ViewportXY;
    static KOM_EnumValue ViewportUV;
};

class KOM_shaderType
{
public:
    static KOM_EnumValue Surface;
    static KOM_EnumValue SurfaceShadow;
    static KOM_EnumValue Displacement;
    static KOM_EnumValue Geometry;
    static KOM_EnumValue Interior;
    static KOM_EnumValue Light;
    static KOM_EnumValue LightShadow;
    static KOM_EnumValue Atmosphere;
    static KOM_EnumValue Lens;
    static KOM_EnumValue Output;
    static KOM_EnumValue Background;
    static KOM_EnumValue Photon;
    static KOM_EnumValue MentalRayEmitter;
    static KOM_EnumValue MentalRayPhotonVolume;
    static KOM_EnumValue MentalRayEnvironment;
    static KOM_EnumValue MentalRayContour;
    static KOM_EnumValue MentalRayContourStore;
    static KOM_EnumValue MentalRayContourContrast;
    static KOM_EnumValue MentalRayTextureContrast;
    static KOM_EnumValue Image3D;
    static KOM_EnumValue CZel;
    static KOM_EnumValue Mutable;
    static KOM_EnumValue Properties;
    static KOM_EnumValue Material;
};

class KOM_nodeTypeSource
{
public:
    static KOM_EnumValue Internal;
    static KOM_EnumValue Subnet;
    static KOM_EnumValue CompiledCode;
    static KOM_EnumValue ZelCode;
    static KOM_EnumValue RslCode;
};

class KOM_fieldType
{
public:
    static KOM_EnumValue NoSuchField;
    static KOM_EnumValue Integer;
    static KOM_EnumValue Boolean;
    static KOM_EnumValue Float;
    static KOM_EnumValue String;
    static KOM_EnumValue Vector2;
    static KOM_EnumValue Vector3;
    static KOM_EnumValue Vector4;
    static KOM_EnumValue Quaternion;
    static KOM_EnumValue Matrix3;
    static KOM_EnumValue Matrix4;
    static KOM_EnumValue UV;
    static KOM_EnumValue UVW;
};

class KOM_codingLanguage
{
public:
    static KOM_EnumValue Python;
};

// Every enumeration above, in declaration order: the proxy module binds kal.<enumeration>.<Value>
// for each (interface/enums.i, module/proxy.swg). A new enumeration joins this list.
#define KOM_FOR_EACH_ENUMERATION(X)                                                      \
    X(attribData) X(attribType) X(primType) X(parmData) X(parmTemplateType) X(parmLook)  \
    X(parmNamingScheme) X(exprLanguage) X(scriptLanguage) X(paneTabType)                 \
    X(geometryViewportType) X(geometryType) X(connectivityType) X(severityType)          \
    X(positionType) X(shaderType) X(nodeTypeSource) X(fieldType) X(codingLanguage)
