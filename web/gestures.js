// The gestures that move and zoom the drawing (drawing.js): a mouse or pen
// drags it, the wheel zooms it when it is selected or with Ctrl (and
// otherwise scrolls the page, and hint says how to zoom), one finger scrolls
// the page and two move and zoom it, and keys of the selected drawing move
// and zoom it.

import { ZOOM_STEP } from "./drawing.js";

export function attachGestures(svg, drawing, hint) {
  let hintTimer = 0;
  function showHint(text) {
    hint.textContent = text;
    hint.classList.add("shown");
    clearTimeout(hintTimer);
    hintTimer = setTimeout(() => hint.classList.remove("shown"), 1500);
  }

  const pixelsOf = (event) => {
    const box = svg.getBoundingClientRect();
    return { x: (event.clientX - box.left) * drawing.layout.width / box.width,
      y: (event.clientY - box.top) * drawing.layout.height / box.height };
  };
  // The wheel scrolls the page, unless the drawing is selected or Ctrl held.
  svg.addEventListener("wheel", (event) => {
    if (!drawing.layout) return;
    if (!event.ctrlKey && document.activeElement !== svg) {
      showHint("To zoom, select the drawing, or hold Ctrl while you turn the wheel");
      return;
    }
    event.preventDefault();
    const at = pixelsOf(event);
    drawing.zoomAt(Math.exp(-event.deltaY * 0.002), at.x, at.y);
  }, { passive: false });
  // A mouse or pen drags the view; one finger scrolls the page.
  const dragging = new Map();
  svg.addEventListener("pointerdown", (event) => {
    if (event.pointerType === "touch" || !drawing.layout) return;
    svg.setPointerCapture(event.pointerId);
    dragging.set(event.pointerId, pixelsOf(event));
  });
  svg.addEventListener("pointermove", (event) => {
    const before = dragging.get(event.pointerId);
    if (!before) return;
    const after = pixelsOf(event);
    dragging.set(event.pointerId, after);
    drawing.panBy(after.x - before.x, after.y - before.y);
  });
  for (const type of ["pointerup", "pointercancel"]) {
    svg.addEventListener(type, (event) => dragging.delete(event.pointerId));
  }
  // Two fingers move and zoom the view.
  let fingers = null;
  const twoFingers = (event) => {
    const [a, b] = [pixelsOf(event.touches[0]), pixelsOf(event.touches[1])];
    return { x: (a.x + b.x) / 2, y: (a.y + b.y) / 2, gap: Math.max(Math.hypot(a.x - b.x, a.y - b.y), 1) };
  };
  const onTouch = (event) => {
    if (event.touches.length !== 2 || !drawing.layout) {
      fingers = null;
      return;
    }
    event.preventDefault();
    const now = twoFingers(event);
    if (fingers) {
      drawing.panBy(now.x - fingers.x, now.y - fingers.y);
      drawing.zoomAt(now.gap / fingers.gap, now.x, now.y);
    }
    fingers = now;
  };
  for (const type of ["touchstart", "touchmove", "touchend", "touchcancel"]) {
    svg.addEventListener(type, onTouch, { passive: false });
  }
  svg.addEventListener("keydown", (event) => {
    if (!drawing.layout) return;
    const { centreX, centreY, plotWidth } = drawing.layout;
    const step = plotWidth / 10;
    const actions = {
      "+": () => drawing.zoomAt(ZOOM_STEP, centreX, centreY),
      "=": () => drawing.zoomAt(ZOOM_STEP, centreX, centreY),
      "-": () => drawing.zoomAt(1 / ZOOM_STEP, centreX, centreY),
      "−": () => drawing.zoomAt(1 / ZOOM_STEP, centreX, centreY),
      ArrowLeft: () => drawing.panBy(step, 0),
      ArrowRight: () => drawing.panBy(-step, 0),
      ArrowUp: () => drawing.panBy(0, step),
      ArrowDown: () => drawing.panBy(0, -step),
      0: () => drawing.showAll(),
    };
    if (!actions[event.key]) return;
    event.preventDefault();
    actions[event.key]();
  });
}
