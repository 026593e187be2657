// The map page: a Leaflet map with the group track, the current recording's track split at
// the position, the position marker and the event markers. It talks to the program only
// through the host object "sample" (synchronous calls) and the "update" message.

var g_lastJpgNum = -1;
var g_isStartInitConnect = false; // the map library's script element is loading
var g_isInitConnect = false;      // the map library has loaded and the map exists
var g_isInit = false;             // the offline start has been handled once
var g_map = null;
var g_script = null;
var g_marker = null;
var g_newlat = null;
var g_newlng = null;

// Consecutive fixes further apart than this (about 150 m, 500 km/h at one fix a second)
// break the line, so a tunnel or the jump between two recordings draws no chord.
var SEGMENT_BREAK_DEGREES = 0.001385;

function host() {
    return chrome.webview.hostObjects.sync.sample;
}

function inputValue(id) {
    return document.getElementById(id).value;
}

function PointList() {
    this.points = [];
    this.JpgNumList = [];
}

// The positions are kept as the map library's own position objects, so that the polylines
// take them over instead of converting every fix again.
PointList.prototype.GetPoints = function (data) {
    if (!g_isInitConnect)
        return;
    var n = data.length;
    if (n <= 1)
        return;
    var count = Math.ceil((n - 1) / 3);
    var points = new Array(count);
    var frames = new Array(count);
    for (var i = 0, k = 0; i < n - 1; i += 3, k++) {
        points[k] = new L.LatLng(+data[i], +data[i + 1]);
        frames[k] = +data[i + 2];
    }
    this.points = points;
    this.JpgNumList = frames;
};

PointList.prototype.ReleasePoints = function () {
    this.points = [];
    this.JpgNumList = [];
};

PointList.prototype.DrawGridLine = function (start, end, color, opacity, index) {
    if (!g_isInitConnect || !g_map)
        return null;
    var path = this.points.slice(start, end);
    if (path.length === 0)
        return null;
    return L.polyline(path, {
        interactive: false,
        color: color,
        opacity: opacity,
        weight: 3,
        pane: "track" + index
    }).addTo(g_map);
};

function OrbitGrp(start, end) {
    this.start = start;
    this.end = end;
}

function OrbitGrpList() {
    this.orbitlist = [];
    this.grpline = [];
    this.histline = [];
    this.schline = [];
    this.grplist = new PointList();
    this.gridlist = new PointList();
}

function removeLines(lines) {
    for (var i = 0; i < lines.length; i++)
        lines[i].remove();
    lines.length = 0;
}

function pushLine(lines, line) {
    if (line)
        lines.push(line);
}

OrbitGrpList.prototype.GetOrbitGroup = function (list) {
    if (!g_isInitConnect || list.points.length === 0)
        return;
    this.orbitlist = [];
    var points = list.points;
    var start = 0;
    for (var i = 1; i < points.length; i++) {
        var dlat = points[i].lat - points[i - 1].lat;
        var dlng = (points[i].lng - points[i - 1].lng) * Math.cos(points[i].lat * Math.PI / 180);
        if (Math.sqrt(dlat * dlat + dlng * dlng) > SEGMENT_BREAK_DEGREES) {
            this.orbitlist.push(new OrbitGrp(start, i - 1));
            start = i;
        }
    }
    this.orbitlist.push(new OrbitGrp(start, points.length - 1));
};

OrbitGrpList.prototype.GetIndex = function () {
    var text = host().JS2C_GetRelJpgNum();
    var current = (text === undefined || text === null) ? -1 : Number(text);
    if (current === -1 || isNaN(current))
        return -1;
    g_lastJpgNum = current;
    var frames = this.gridlist.JpgNumList;
    var index = 0;
    while (index < frames.length && frames[index] < current)
        index++;
    if (index > 0) {
        index -= 1;
        if (index > frames.length - 1)
            index = frames.length - 1;
    }
    return index;
};

OrbitGrpList.prototype.CreateLine = function () {
    if (!g_isInitConnect)
        return;
    g_lastJpgNum = -1;
    this.grplist.ReleasePoints();
    if (!g_script)
        return;
    var data = host().JS2C_GetGPSData();
    if (!data)
        return;
    this.grplist.GetPoints(data);
    this.GetOrbitGroup(this.grplist);
    removeLines(this.grpline);
    for (var i = 0; i < this.orbitlist.length; i++) {
        var seg = this.orbitlist[i];
        pushLine(this.grpline, this.grplist.DrawGridLine(seg.start, seg.end, "#FF0000", 0.5, 1));
    }
};

OrbitGrpList.prototype.CreateGridLine = function (n) {
    if (!g_isInitConnect)
        return;
    g_lastJpgNum = -1;
    this.gridlist.ReleasePoints();
    if (!g_script)
        return;
    var data = host().JS2C_GetGridData(0);
    if (!data)
        return;
    this.gridlist.GetPoints(data);
    this.GetOrbitGroup(this.gridlist);
    this.MoveMarker();
};

OrbitGrpList.prototype.MoveMarker = function () {
    if (!g_isInitConnect)
        return;
    var index = this.GetIndex();
    if (index < 0)
        return;
    this.RemoveLineList();
    var list = this.gridlist;
    for (var i = 0; i < this.orbitlist.length; i++) {
        var seg = this.orbitlist[i];
        if (seg.end <= index) {
            pushLine(this.histline, list.DrawGridLine(seg.start, seg.end, "#0000FF", 1.0, 2));
        } else if (seg.start < index && index < seg.end) {
            pushLine(this.histline, list.DrawGridLine(seg.start, index, "#0000FF", 1.0, 2));
            pushLine(this.schline, list.DrawGridLine(index, seg.end, "#FF0000", 0.9, 2));
        } else {
            pushLine(this.schline, list.DrawGridLine(seg.start, seg.end, "#FF0000", 0.9, 2));
        }
    }
    var point = list.points[index];
    loadMarker(point ? point : [g_newlat, g_newlng], null);
};

OrbitGrpList.prototype.RemoveLineList = function () {
    if (!g_isInitConnect)
        return;
    removeLines(this.histline);
    removeLines(this.schline);
};

function loadMarker(position, icon) {
    if (!g_map)
        return;
    g_map.panTo(position, {animate: false});
    if (g_marker)
        g_marker.remove();
    var options = {zIndexOffset: 1000, interactive: false};
    if (icon)
        options.icon = icon;
    g_marker = L.marker(position, options).addTo(g_map);
}

function CrashPoint(marker, lat, lng, valid, speed, direction, levelx, levely, levelz, ifile,
                    igrid, ipos) {
    this.marker = marker;
    this.lat = lat;
    this.lng = lng;
    this.valid = valid;
    this.speed = speed;
    this.direction = direction;
    this.levelx = levelx;
    this.levely = levely;
    this.levelz = levelz;
    this.ifile = ifile;
    this.igrid = igrid;
    this.ipos = ipos;
}

function CpList() {
    this.markers = [];
}

function CreateCPMarker(lat, lng, icolor) {
    if (!g_map)
        return null;
    var url = g_iconurl[icolor];
    var options = {};
    if (url) {
        options.icon = L.icon({
            iconUrl: url,
            iconSize: [32, 32],
            iconAnchor: [16, 32],
            shadowUrl: g_shadow,
            shadowSize: [49, 32],
            shadowAnchor: [16, 32]
        });
    }
    return L.marker([lat, lng], options).addTo(g_map);
}

CpList.prototype.AddCrashPos = function (icolor, levelx, levely, levelz, ifile, igrid, ipos, lat,
                                         lng, valid, speed, direction) {
    if (!g_isInitConnect)
        return;
    var marker = CreateCPMarker(lat, lng, icolor);
    if (!marker)
        return;
    var self = this;
    var point = new CrashPoint(marker, lat, lng, valid, speed, direction, levelx, levely, levelz,
                               ifile, igrid, ipos);
    marker.on("click", function () {
        var i = self.markers.indexOf(point);
        if (i >= 0)
            self.SetCrashPos(i);
    });
    this.markers.push(point);
};

CpList.prototype.SetCrashPos = function (i) {
    var p = this.markers[i];
    host().JS2C_OnClickCrashPoint(p.ifile, p.igrid, p.ipos, p.valid, p.lat, p.lng, p.speed,
                                  p.direction);
    if (p.lat >= 0 && p.lng >= 0 && ConnectTest())
        orbitgrplist.MoveMarker();
};

CpList.prototype.ClearCrashPos = function () {
    for (var i = 0; i < this.markers.length; i++)
        this.markers[i].marker.remove();
    this.markers = [];
};

var orbitgrplist = new OrbitGrpList();
var cplist = new CpList();

function dropMap() {
    if (g_map)
        g_map.remove();
    g_map = null;
    g_marker = null;
    if (g_script)
        g_script.remove();
    g_script = null;
}

function ConnectTest() {
    if (!host().JS2C_ConnectTest()) {
        g_isStartInitConnect = false;
        g_isInitConnect = false;
        return false;
    }
    if (!g_isInitConnect && !g_isStartInitConnect) {
        if (g_script)
            g_script.remove();
        g_script = document.createElement("script");
        g_script.type = "text/javascript";
        g_script.src = host().JS2C_GetMapURL();
        document.body.appendChild(g_script);
        g_isStartInitConnect = true;
    }
    return g_isInitConnect;
}

function loadLibs() {
    if (g_map)
        g_map.remove();
    var config = window.kirvanoMapConfig || {};
    // Tracks are drawn on one canvas per pane: tens of thousands of fixes paint far sooner
    // there than as vector elements of the document.
    g_map = L.map("map_canvas",
                  {center: [0.0, 0.0], zoom: 16, zoomControl: true, preferCanvas: true});
    g_map.createPane("track1").style.zIndex = 410;
    g_map.createPane("track2").style.zIndex = 420;
    L.tileLayer(config.tileUrl || "", {
        maxZoom: 19,
        attribution: config.attribution || ""
    }).addTo(g_map);
    L.control.scale().addTo(g_map);
    window.onerror = function () {
        return true;
    };
    loadMarker(g_map.getCenter(), null);
    host().JS2C_OnInitHtml();
    g_isInitConnect = true;
}

function show() {
    try {
        g_newlat = Number(inputValue("map_lat")) || 0;
        g_newlng = Number(inputValue("map_lng")) || 0;
        if (g_newlat < 1000.0 && g_newlng < 1000.0) {
            if (ConnectTest()) {
                var status = inputValue("map_status").toLowerCase();
                if (status !== "pause" && status !== "stop" &&
                    ((g_newlat !== 0 && g_newlng !== 0) || g_lastJpgNum === -1))
                    orbitgrplist.MoveMarker();
            } else if (!g_isStartInitConnect) {
                g_isInit = false;
                dropMap();
            }
        } else if (!g_isInit) {
            ConnectTest();
            g_isInit = true;
        }
        host().JS2C_SetSend();
    } finally {
        setTimeout(show, 1000);
    }
}

function initialize() {
    g_lastJpgNum = -1;
    chrome.webview.addEventListener("message", function (event) {
        var data = event.data;
        if (!data || data.val_command !== "update")
            return;
        document.getElementById("map_lat").value = data.map_lat;
        document.getElementById("map_lng").value = data.map_lng;
        document.getElementById("map_status").value = data.map_status;
    });
    show();
}
