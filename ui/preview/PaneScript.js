// The preview pane's own functions, run in a script world of their own that the page's scripts
// cannot see: the line markers' index, where a line's content is, which line is at a point,
// scrolling, and the in-place patches of changed lines.
window.__qrnPane = window.__qrnPane || {
  line(node) {
    if (node.nodeType !== Node.COMMENT_NODE || !node.data.startsWith('qrn-line ')) return -1;
    const n = Number(node.data.slice(9));
    return Number.isInteger(n) && n >= 0 ? n : -1;
  },
  index() {
    if (!this.ix) {
      const byLine = new Map();
      const it = document.createNodeIterator(document, NodeFilter.SHOW_COMMENT);
      for (let c = it.nextNode(); c; c = it.nextNode()) {
        const n = this.line(c);
        if (n >= 0 && !byLine.has(n)) byLine.set(n, c);
      }
      this.ix = { byLine, lines: [...byLine.keys()].sort((a, b) => a - b) };
    }
    return this.ix;
  },
  // The document y of the first thing drawn after a marker.
  top(marker) {
    if (!marker.isConnected) return null;
    const walk = document.createTreeWalker(document, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT);
    walk.currentNode = marker;
    for (let n = walk.nextNode(), k = 0; n && k < 500; n = walk.nextNode(), ++k) {
      let box = null;
      if (n.nodeType === Node.TEXT_NODE) {
        const at = n.data.search(/\S/);
        if (at < 0) continue;
        const r = document.createRange();
        r.setStart(n, at);
        r.setEnd(n, at + 1);
        box = r.getBoundingClientRect();
      } else if (!n.firstChild) {
        box = n.getBoundingClientRect();
      }
      if (box && (box.width || box.height)) return box.top + scrollY;
    }
    return null;
  },
  follow(line, fraction) {
    const { lines, byLine } = this.index();
    let lo = 0, hi = lines.length - 1, at = 0;
    while (lo <= hi) {
      const mid = (lo + hi) >> 1;
      if (lines[mid] <= line) { at = mid; lo = mid + 1; } else hi = mid - 1;
    }
    let k = at;
    for (; k < lines.length && k < at + 100; ++k) {
      const y = this.top(byLine.get(lines[k]));
      if (y !== null) {
        // What the line made, down to the next marker's content or the page's end, stays in
        // view as far as it fits: a caret at the editor's foot shows the line above the pane's.
        const next = k + 1 < lines.length ? this.top(byLine.get(lines[k + 1])) : null;
        const height = Math.min(innerHeight, (next !== null && next > y ? next : document.documentElement.scrollHeight) - y);
        scrollTo({ left: scrollX, top: Math.max(0, y - Math.min(fraction * innerHeight, innerHeight - height)), behavior: 'instant' });
        return lines[k];
      }
    }
    // Nothing drawn from the line on (the page's closing tags): its end.
    if (k === lines.length && k > 0) {
      scrollTo({ left: scrollX, top: document.documentElement.scrollHeight, behavior: 'instant' });
      return lines[at];
    }
    return -1;
  },
  lineAt(x, y) {
    const r = document.caretRangeFromPoint(x, y);
    let node = r ? r.startContainer : document.elementFromPoint(x, y);
    if (!node) return -1;
    if (r && node.nodeType !== Node.TEXT_NODE && node.childNodes[r.startOffset]) node = node.childNodes[r.startOffset];
    const walk = document.createTreeWalker(document, NodeFilter.SHOW_COMMENT);
    walk.currentNode = node;
    for (let c = walk.previousNode(); c; c = walk.previousNode()) {
      const n = this.line(c);
      if (n >= 0) return n;
    }
    return this.index().lines.length ? 0 : -1;
  },
  settle(x, y) {
    this.settled = false;
    scrollTo({ left: x, top: y, behavior: 'instant' });
    requestAnimationFrame(() => requestAnimationFrame(() => { this.settled = true; }));
  },
  // After a patch: `settled` once the frame that shows it has been painted (the task after the
  // frame's animation callbacks runs after its paint).
  drawn() {
    this.settled = false;
    requestAnimationFrame(() => setTimeout(() => { this.settled = true; }, 0));
    return true;
  },
  // The page's bytes (base64) as the text a parse makes of them, split after each line break.
  lines(base64) {
    const template = document.createElement('template');
    return new TextDecoder(document.characterSet).decode(Uint8Array.from(atob(base64), c => c.charCodeAt(0)))
      .replace(/\r\n?/g, '\n').split(/(?<=\n)/).filter(l => l.length)
      .map(l => { template.innerHTML = l; return template.content.textContent; });
  },
  // Where a parse puts text in place: not where it moves text elsewhere or drops it.
  keepsText(parent) {
    return parent && parent.nodeType === Node.ELEMENT_NODE
      && !/^(HTML|HEAD|TABLE|TBODY|THEAD|TFOOT|TR|COLGROUP|SELECT|FRAMESET|TEMPLATE)$/.test(parent.nodeName);
  },
  // Replaces lines first .. first+oldCount-1 by newCount others, if the nodes between their
  // markers are exactly the text of the old lines, where a new parse would put the new text too.
  patch(first, oldCount, newCount, oldText, newText) {
    const { byLine } = this.index();
    const start = byLine.get(first), end = byLine.get(first + oldCount);
    if (!start || !end || !start.isConnected || start.parentNode !== end.parentNode) return false;
    const parent = start.parentNode;
    if (!this.keepsText(parent)) return false;
    const before = this.lines(oldText), after = this.lines(newText);
    if (before.length !== oldCount || after.length !== newCount) return false;
    let text = '', next = first + 1;
    for (let n = start.nextSibling; n !== end; n = n.nextSibling) {
      if (!n) return false;
      if (n.nodeType === Node.TEXT_NODE) text += n.data;
      else if (this.line(n) === next) ++next;
      else return false;
    }
    if (next !== first + oldCount || text !== before.join('')) return false;
    while (start.nextSibling !== end) parent.removeChild(start.nextSibling);
    const added = [];
    after.forEach((l, k) => {
      if (k > 0) {
        const c = document.createComment('qrn-line ' + (first + k));
        parent.insertBefore(c, end);
        added.push(c);
      }
      parent.insertBefore(document.createTextNode(l), end);
    });
    this.reindex(first, oldCount, newCount, added.map((c, k) => [first + k + 1, c]));
    return true;
  },
  // After lines first .. first+oldCount-1 became newCount others whose inner markers are `inner`
  // ([line, comment] in line order): the markers after them are numbered as a new load numbers
  // them, and the index follows without a walk through the whole page.
  reindex(first, oldCount, newCount, inner) {
    const delta = newCount - oldCount, old = this.ix, lines2 = [], byLine2 = new Map();
    const keep = (n, c) => { if (!byLine2.has(n)) { lines2.push(n); byLine2.set(n, c); } };
    for (const n of old.lines) if (n <= first) keep(n, old.byLine.get(n));
    for (const [n, c] of inner) keep(n, c);
    for (const n of old.lines) {
      if (n < first + oldCount) continue;
      const c = old.byLine.get(n);
      if (delta) c.data = 'qrn-line ' + (n + delta);
      keep(n + delta, c);
    }
    this.ix = { lines: lines2, byLine: byLine2 };
  },
  // Changes one run of text of a line. The text nodes between the line's marker and the next are
  // the runs the parse left in place (one before a table the line is in moved before that table),
  // in order: they must match the runs the same way from either end, the changed one among them.
  // Text that turns from blank to not blank or back may go elsewhere in a new parse, so that is
  // left to a load.
  patchRun(line, oldRuns, run, newRun, lastLine) {
    const { byLine } = this.index();
    const start = byLine.get(line), end = lastLine ? null : byLine.get(line + 1);
    if (!start || !start.isConnected || (!lastLine && !(end && end.isConnected))) return false;
    const texts = [];
    const walk = document.createTreeWalker(document, NodeFilter.SHOW_TEXT);
    walk.currentNode = start;
    for (let n = walk.nextNode(); n && (!end || end.compareDocumentPosition(n) & Node.DOCUMENT_POSITION_PRECEDING); n = walk.nextNode())
      texts.push(n);
    const runs = oldRuns.map(r => this.lines(r).join(''));
    const align = forward => {
      const found = new Map(), step = forward ? 1 : -1;
      let k = forward ? 0 : runs.length - 1;
      for (const t of forward ? texts : [...texts].reverse()) {
        while (k >= 0 && k < runs.length && runs[k] !== t.data) k += step;
        if (k < 0 || k >= runs.length) return null;
        found.set(k, t);
        k += step;
      }
      return found;
    };
    const first = align(true), last = align(false);
    const node = first && last && first.get(run);
    if (!node || node !== last.get(run) || !this.keepsText(node.parentNode)) return false;
    const text = this.lines(newRun).join('');
    if (/\S/.test(text) !== /\S/.test(runs[run])) return false;
    node.data = text;
    return true;
  },
  // Replaces lines first .. first+oldCount-1 by what a parse of the whole new page (base64,
  // with its markers) puts between the markers that bound them, where that parse leaves those
  // markers under the same parent, on the same path from the body, as the page shown does: the
  // rest of the page then parses as before, and the result is what a load would show.
  patchBlock(first, oldCount, newCount, base64) {
    const { byLine } = this.index();
    const start = byLine.get(first), end = byLine.get(first + oldCount);
    if (!start || !end || start === end || !start.isConnected || start.parentNode !== end.parentNode
        || !document.body.contains(start))
      return false;
    const bytes = Uint8Array.from(atob(base64), c => c.charCodeAt(0));
    const parsed = new DOMParser().parseFromString(new TextDecoder(document.characterSet).decode(bytes), 'text/html');
    const found = new Map();
    const it = parsed.createNodeIterator(parsed, NodeFilter.SHOW_COMMENT);
    for (let c = it.nextNode(); c; c = it.nextNode()) {
      const n = this.line(c);
      if (n >= 0 && !found.has(n)) found.set(n, c);
    }
    const newStart = found.get(first), newEnd = found.get(first + newCount);
    if (!newStart || !newEnd || newStart === newEnd || newStart.parentNode !== newEnd.parentNode) return false;
    const path = (node, root) => {
      const steps = [];
      for (let n = node.parentNode; n && n !== root; n = n.parentNode)
        steps.push(n.nodeName + ':' + Array.prototype.indexOf.call(n.parentNode ? n.parentNode.childNodes : [], n));
      return steps.join('/');
    };
    if (path(start, document) !== path(newStart, parsed) || path(end, document) !== path(newEnd, parsed)) return false;
    const parent = start.parentNode;
    while (start.nextSibling !== end) parent.removeChild(start.nextSibling);
    const added = [];
    for (let n = newStart.nextSibling; n !== newEnd; n = n.nextSibling) added.push(n);
    const fragment = document.createDocumentFragment();
    for (const n of added) fragment.appendChild(document.importNode(n, true));
    // The block's own markers, for the index, before the fragment is emptied into the page.
    const inner = [];
    const walk = document.createNodeIterator(fragment, NodeFilter.SHOW_COMMENT);
    for (let c = walk.nextNode(); c; c = walk.nextNode()) {
      const n = this.line(c);
      if (n > first && n < first + newCount) inner.push([n, c]);
    }
    parent.insertBefore(fragment, end);
    this.reindex(first, oldCount, newCount, inner.sort((a, b) => a[0] - b[0]));
    return true;
  },
};
