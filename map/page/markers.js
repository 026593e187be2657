// The event-marker pins (index = event kind) and their shadow, drawn as SVG data addresses:
// a 32 x 32 pin whose point is at (16, 32), with a symbol in its head.
"use strict";

function pinPicture(fill, symbol) {
    var svg = '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">' +
        '<path d="M16 31.5 C13 26 5 19.5 5 12 A11 11 0 1 1 27 12 C27 19.5 19 26 16 31.5 Z" ' +
        'fill="' + fill + '" stroke="#3a3a3a" stroke-width="1"/>' + symbol + '</svg>';
    return "data:image/svg+xml;base64," + btoa(svg);
}

function pinLetter(letter, colour) {
    return '<text x="16" y="16.5" text-anchor="middle" font-family="DejaVu Sans, Arial, sans-serif" ' +
        'font-weight="bold" font-size="13" fill="' + colour + '">' + letter + '</text>';
}

var g_starSymbol = '<polygon fill="#ffffff" points="16,5.5 18.1,10 23,10.4 19.3,13.6 20.4,18.4 ' +
    '16,15.8 11.6,18.4 12.7,13.6 9,10.4 13.9,10"/>';
var g_upSymbol = '<polygon fill="#ffffff" points="16,6 22,17 10,17"/>';
var g_downSymbol = '<polygon fill="#ffffff" points="10,7 22,7 16,18"/>';

var g_gPin = pinPicture("#e02424", pinLetter("G", "#ffffff"));
var g_iconurl = [
    g_gPin, g_gPin, g_gPin, g_gPin, g_gPin,           // 0..4 G events
    pinPicture("#ff8c00", pinLetter("M", "#ffffff")), // 5 manual recording
    pinPicture("#ffd800", pinLetter("E", "#e00000")), // 6 emergency recording stop
    pinPicture("#d8a0d8", pinLetter("P", "#4a1a4a")), // 7 parking monitoring
    pinPicture("#7b1fa2", pinLetter("#", "#ffffff")), // 8 over speed
    pinPicture("#ff7eb6", pinLetter("O", "#fff200")), // 9 speed camera
    pinPicture("#ffd800", pinLetter("R", "#e00000")), // 10 radar
    pinPicture("#1e5ae0", g_starSymbol),              // 11 assistance: steering
    pinPicture("#e000e0", g_upSymbol),                // 12 assistance: acceleration
    pinPicture("#1a9e3a", g_downSymbol)               // 13 assistance: braking
];

var g_shadow = "data:image/svg+xml;base64," + btoa(
    '<svg xmlns="http://www.w3.org/2000/svg" width="49" height="32" viewBox="0 0 49 32">' +
    '<ellipse cx="24" cy="27" rx="15" ry="4.5" fill="#000000" fill-opacity="0.3"/></svg>');
