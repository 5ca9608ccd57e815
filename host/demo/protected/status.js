// Shows what each image turned out to be once the page has loaded: its size when an image
// arrived (the real one or an alternate), "broken" when none did.
window.addEventListener("load", () => {
  const lines = [];
  for (const img of document.images) {
    const state = img.naturalWidth > 0 ? `shown ${img.naturalWidth}x${img.naturalHeight}` : "broken";
    img.closest("figure").dataset.state = state;
    lines.push(`${img.dataset.name}: ${state}`);
  }
  document.getElementById("status").textContent = lines.join("\n");
});
