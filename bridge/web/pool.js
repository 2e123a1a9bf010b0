// The pool at a glance: every site the broker knows of, online or offline,
// and each slot's current value, as the bridges publish them. Read-only: it
// only subscribes. The broker serves this folder and MQTT over WebSockets on
// the same port; the pool is ?pool=NAME (default orvantis).
"use strict";

const pool = new URLSearchParams(location.search).get("pool") || "orvantis";
const sites = new Map(); // name -> { online: bool, slots: Map(number -> value) }
const INT32 = /^-?(0|[1-9][0-9]{0,9})$/;

function site(name) {
  if (!sites.has(name)) sites.set(name, { online: false, slots: new Map() });
  return sites.get(name);
}

// What a bridge publishes: <pool>/<site>/online "1"/"0", <pool>/<site>/slot/<n>
// a decimal int32 (empty: the slot was removed). Anything else is ignored.
function take(topic, text) {
  const levels = topic.split("/");
  if (levels.length === 3 && levels[2] === "online" && (text === "1" || text === "0")) {
    site(levels[1]).online = text === "1";
  } else if (levels.length === 4 && levels[2] === "slot" && /^(0|[1-9][0-9]?)$/.test(levels[3]) &&
             Number(levels[3]) < 32) {
    const n = Number(levels[3]);
    if (text === "") {
      if (sites.has(levels[1])) sites.get(levels[1]).slots.delete(n);
    } else if (INT32.test(text) && Number(text) >= -2147483648 && Number(text) <= 2147483647) {
      site(levels[1]).slots.set(n, Number(text));
    } else {
      return false;
    }
  } else {
    return false;
  }
  return true;
}

// Text only (textContent): names and values come from the network.
function show() {
  const list = document.getElementById("sites");
  list.replaceChildren();
  for (const name of [...sites.keys()].sort()) {
    const s = sites.get(name);
    const block = document.createElement("pre");
    block.className = s.online ? "online" : "offline";
    block.dataset.site = name;
    const lines = [`site ${name}: ${s.online ? "online" : "offline"}`];
    for (const n of [...s.slots.keys()].sort((a, b) => a - b)) lines.push(`  slot ${n}: ${s.slots.get(n)}`);
    block.textContent = lines.join("\n");
    list.appendChild(block);
  }
}

function status(text) {
  document.getElementById("status").textContent = text;
}

document.getElementById("pool").textContent = pool;
const url = (location.protocol === "https:" ? "wss://" : "ws://") + location.host;
const client = mqtt.connect(url, { reconnectPeriod: 2000, connectTimeout: 5000 });
client.on("connect", () => {
  status(`connected to ${url}`);
  // Retained values come first, then every change; a reconnection starts afresh.
  sites.clear();
  client.subscribe([`${pool}/+/online`, `${pool}/+/slot/+`], { qos: 0 });
  show();
});
client.on("message", (topic, payload) => {
  if (take(topic, payload.toString())) show();
});
client.on("close", () => status(`connection to ${url} lost; retrying`));
