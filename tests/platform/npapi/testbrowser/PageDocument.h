// A small document for the test page, written in page script: run it with
// browser.page().run(TestBrowser::pageDocumentScript()) before the first
// instance is made (the plug-in's host reads window.document when it starts).
//
//   <body>
//     <div id="status" class="note">Ready</div>
//     <div id="panel" width="320" height="240">   (scrollWidth 400, scrollHeight 300)
//       <span id="first">one</span><span id="second">two</span>
//     </div>
//     <div id="empty"></div>
//     <div id="broken" width="abc"></div>
//   </body>
//
// Elements are plain page objects with id, tagName, innerHTML, width, height,
// scrollWidth, scrollHeight, childNodes (a page array), parentNode and
// getAttribute (null when absent), setAttribute, appendChild and
// getElementsByTagName. The document has body, window, getElementById,
// getElementsByTagName and createElement. window.location.href is
// "http://stagecast.test/broadcast.html"; alert(text) is recorded in the page
// array `alerts`.
#pragma once

namespace TestBrowser {

const wchar_t* pageDocumentScript();

}  // namespace TestBrowser
