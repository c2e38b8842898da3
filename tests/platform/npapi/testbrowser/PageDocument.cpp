#include "PageDocument.h"

namespace TestBrowser {

const wchar_t* pageDocumentScript()
{
    // Closures, not `this`: the page's host objects call stored functions without it.
    return LR"(
var alerts = [];
function alert(text) { alerts.push(text); }
var location = { href: 'http://stagecast.test/broadcast.html' };
(function () {
    function makeElement(tag, attributes) {
        var element = { tagName: tag.toUpperCase(), id: '', innerHTML: '', width: 0, height: 0,
                        scrollWidth: 0, scrollHeight: 0, childNodes: [], parentNode: null };
        var stored = {};
        element.getAttribute = function (name) {
            return stored.hasOwnProperty(name) ? stored[name] : null;
        };
        element.setAttribute = function (name, value) {
            stored[name] = String(value);
            if (name == 'id') element.id = stored[name];
        };
        element.appendChild = function (child) {
            if (child.parentNode) {
                var siblings = child.parentNode.childNodes;
                for (var i = 0; i < siblings.length; ++i)
                    if (siblings[i] === child) { siblings.splice(i, 1); break; }
            }
            child.parentNode = element;
            element.childNodes.push(child);
            return child;
        };
        element.getElementsByTagName = function (name) {
            var found = [];
            collect(element, name.toUpperCase(), found);
            return found;
        };
        for (var name in attributes) element.setAttribute(name, attributes[name]);
        return element;
    }
    function collect(parent, tag, found) {
        for (var i = 0; i < parent.childNodes.length; ++i) {
            var child = parent.childNodes[i];
            if (tag == '*' || child.tagName == tag) found.push(child);
            collect(child, tag, found);
        }
    }
    function findById(parent, id) {
        for (var i = 0; i < parent.childNodes.length; ++i) {
            var child = parent.childNodes[i];
            if (child.id == id) return child;
            var inner = findById(child, id);
            if (inner) return inner;
        }
        return null;
    }

    var body = makeElement('body', {});
    var status = body.appendChild(makeElement('div', { id: 'status', 'class': 'note' }));
    status.innerHTML = 'Ready';
    var panel = body.appendChild(makeElement('div', { id: 'panel' }));
    panel.width = 320; panel.height = 240; panel.scrollWidth = 400; panel.scrollHeight = 300;
    panel.appendChild(makeElement('span', { id: 'first' })).innerHTML = 'one';
    panel.appendChild(makeElement('span', { id: 'second' })).innerHTML = 'two';
    body.appendChild(makeElement('div', { id: 'empty' }));
    body.appendChild(makeElement('div', { id: 'broken' })).width = 'abc';

    document.body = body;
    document.window = window;
    document.getElementById = function (id) { return findById(body, id); };
    document.getElementsByTagName = function (name) { return body.getElementsByTagName(name); };
    document.createElement = function (tag) { return makeElement(tag, {}); };
})();
)";
}

}  // namespace TestBrowser
