// The pool at a glance, for the person who looks after the venue: the pool's
// total (the sum of the online sites' slots), every site the broker knows of
// with each slot's value and its motion over the last minute, sites that went
// offline greyed with the time they went, values from before a lost
// connection marked "stale", and why the connection fails, in words.
// Read-only: it only subscribes. The broker serves this folder and MQTT over
// WebSockets on the same port; ?broker=ws://HOST:PORT (or wss://) points the
// page at another broker, ?pool=NAME at another pool (default orvantis).
"use strict";

const params = new URLSearchParams(location.search);
const pool = params.get("pool") || "orvantis";
const MINUTE = 60000;
const INT32 = /^-?(0|[1-9][0-9]{0,9})$/;
// name -> { online: true/false/null (not yet known), went: text, fresh, slots: Map(n -> slot), element }
// slot: { value, fresh, history: [[ms, value], ...] oldest first, row, text, plot }
const sites = new Map();
let connected = false;
let refused = false;

const time = (ms) => new Date(ms).toTimeString().slice(0, 8);
const $ = (id) => document.getElementById(id);
function status(text, failing) {
  $("status").textContent = text;
  $("status").className = failing ? "failing" : "";
}

function site(name) {
  if (!sites.has(name)) {
    const element = document.createElement("section");
    element.dataset.site = name;
    element.append(document.createElement("h2"), document.createElement("div"));
    sites.set(name, { online: null, went: "", fresh: true, slots: new Map(), element });
    const names = [...sites.keys()].sort();
    const next = sites.get(names[names.indexOf(name) + 1]);
    $("sites").insertBefore(element, next ? next.element : null);
  }
  return sites.get(name);
}

function slot(s, name, n) {
  if (!s.slots.has(n)) {
    const row = document.createElement("div");
    row.className = "slot";
    const text = document.createElement("span");
    const plot = document.createElement("canvas");
    plot.width = 240;
    plot.height = 32;
    plot.dataset.site = name;
    plot.dataset.slot = n;
    plot.title = `slot ${n} over the last minute`;
    row.append(text, plot);
    s.slots.set(n, { value: 0, fresh: true, history: [], row, text, plot });
    const list = s.element.lastChild;
    const next = [...s.slots.keys()].filter((m) => m > n).sort((a, b) => a - b)[0];
    list.insertBefore(row, next === undefined ? null : s.slots.get(next).row);
  }
  return s.slots.get(n);
}

// What a bridge publishes: <pool>/<site>/online "1"/"0", <pool>/<site>/slot/<n>
// a decimal int32 (empty: the slot was removed), n a pool slot. Anything else
// is ignored. `retained`: the broker kept it from before the page subscribed.
function take(topic, text, retained) {
  const levels = topic.split("/");
  if (levels.length === 3 && levels[2] === "online" && (text === "1" || text === "0")) {
    const s = site(levels[1]);
    if (text === "0" && s.online !== false) s.went = `since ${retained ? "before " : ""}${time(Date.now())}`;
    s.online = text === "1";
    s.fresh = true;
  } else if (levels.length === 4 && levels[2] === "slot" && /^(0|[1-9][0-9]?)$/.test(levels[3]) &&
             Number(levels[3]) < 32) {
    const n = Number(levels[3]);
    if (text === "") {
      const s = sites.get(levels[1]);
      if (s && s.slots.has(n)) {
        s.slots.get(n).row.remove();
        s.slots.delete(n);
      }
    } else if (INT32.test(text) && Number(text) >= -2147483648 && Number(text) <= 2147483647) {
      const v = slot(site(levels[1]), levels[1], n);
      v.value = Number(text);
      v.fresh = true;
      v.history.push([Date.now(), v.value]);
    } else {
      return false;
    }
  } else {
    return false;
  }
  return true;
}

// A step line of the last minute, scaled to its lowest and highest values
// (and 0); grey when the site is offline or the value stale.
function draw(v, grey, now) {
  const history = v.history;
  while (history.length > 1 && history[1][0] <= now - MINUTE) history.shift();
  const c = v.plot.getContext("2d");
  const w = v.plot.width, h = v.plot.height;
  let lo = 0, hi = 0;
  for (const [, value] of history) lo = Math.min(lo, value), hi = Math.max(hi, value);
  const y = (value) => h - 1.5 - ((value - lo) / (hi - lo || 1)) * (h - 3);
  const x = (ms) => Math.max(0, w - ((now - ms) / MINUTE) * w);
  c.clearRect(0, 0, w, h);
  c.strokeStyle = grey ? "#aaa" : "#06c";
  c.lineWidth = 1.5;
  c.beginPath();
  history.forEach(([ms, value], i) => {
    if (i === 0) c.moveTo(x(ms), y(value));
    else c.lineTo(x(ms), y(history[i - 1][1])), c.lineTo(x(ms), y(value));
  });
  if (history.length) c.lineTo(w, y(history[history.length - 1][1]));
  c.stroke();
}

// Text only (textContent): names and values come from the network.
let pending = false;
function show(plots) {
  pending = false;
  const now = Date.now();
  let total = 0, stale = !connected && sites.size > 0;
  for (const [name, s] of sites) {
    const grey = s.online !== true;
    s.element.className = s.online === false ? "offline" : "";
    s.element.firstChild.textContent =
      `site ${name}: ${s.online === null ? "no presence yet" : s.online ? "online" : `offline ${s.went}`}` +
      (s.fresh ? "" : " stale");
    for (const [n, v] of s.slots) {
      v.text.textContent = `slot ${n}: ${v.value}${v.fresh ? "" : " stale"}`;
      if (plots) draw(v, grey || !v.fresh, now);
      if (s.online) (total += v.value), (stale ||= !v.fresh || !s.fresh);
    }
  }
  $("total").textContent = String(total);
  $("total-stale").textContent = stale ? " stale" : "";
}
const later = () => pending || ((pending = true), requestAnimationFrame(() => show(false)));
setInterval(() => show(true), 250); // the plots: a pixel is a quarter of a second

function brokerAddress() {
  const given = params.get("broker");
  if (given === null) return (location.protocol === "https:" ? "wss://" : "ws://") + location.host;
  try {
    if (/^wss?:$/.test(new URL(given).protocol)) return given;
  } catch {}
  return null;
}

$("pool").textContent = pool;
const url = brokerAddress();
if (!url) {
  status("?broker= must be a ws:// or wss:// address, for example ?broker=ws://broker.local:9001", true);
} else {
  status(`connecting to ${url}`);
  const client = mqtt.connect(url, { reconnectPeriod: 2000, connectTimeout: 5000, resubscribe: false });
  client.on("connect", () => {
    connected = true;
    status(`connected to ${url}`);
    // Retained values come first, then every change; until a value comes
    // again, it stays marked stale.
    client.subscribe([`${pool}/+/online`, `${pool}/+/slot/+`], { qos: 0 });
    show(true);
  });
  client.on("message", (topic, payload, packet) => {
    if (take(topic, payload.toString(), packet.retain)) later();
  });
  client.on("error", (e) => {
    // CONNACK: bad user name or password, not authorized (MQTT 3.1.1 and 5).
    if ([4, 5, 134, 135].includes(e.code)) {
      refused = true;
      status(`login refused by ${url}: the page connects without a user name`, true);
    }
  });
  client.on("close", () => {
    if (connected) {
      connected = false;
      for (const s of sites.values()) {
        s.fresh = false;
        for (const v of s.slots.values()) v.fresh = false;
      }
      show(true);
      status(`connection to ${url} lost; retrying`, true);
      return;
    }
    // Never connected this time: does anything answer HTTP there at all?
    const http = url.replace(/^ws/, "http");
    fetch(http, { mode: "no-cors", cache: "no-store", signal: AbortSignal.timeout(4000) }).then(
      () => refused || status(`no MQTT at this address: ${url} answers, but not as an MQTT broker; retrying`, true),
      () => refused || status(`broker unreachable: ${url}; retrying`, true));
  });
}
