import flash.display.Graphics;
import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** All the pictures are the same but one: find the odd one out. */
class OddOneOut extends Sprite {
	var items:Array<Sprite> = [];
	var odd:Sprite;
	var frame = 0;
	var next = 0;
	var score:flash.text.TextField;
	var points = 0;

	public function new() {
		super();
		Kit.sky(graphics, 0xFFF8E1, 0xFFE0B2);
		score = Kit.scoreBox(this, Kit.W - 125, 10, 0xFF8C42);
		round();
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function drawThing(g:Graphics, kind:Int, colour:Int) {
		switch (kind) {
			case 0:
				Kit.star(g, 0, 0, 28, colour);
			case 1:
				Kit.heart(g, 0, -4, 22, colour);
			case 2:
				Kit.smile(g, 0, 0, 26, colour);
			default:
				g.beginFill(colour);
				g.drawCircle(0, 0, 26);
				g.endFill();
		}
	}

	function round() {
		for (s in items)
			removeChild(s);
		items = [];
		var kind = Kit.rand(4);
		var colour = Kit.pick(Kit.colours);
		// the odd one differs in shape or in colour
		var oddKind = kind, oddColour = colour;
		if (Kit.rand(2) == 0)
			oddKind = (kind + 1 + Kit.rand(3)) % 4;
		else
			while (oddColour == colour)
				oddColour = Kit.pick(Kit.colours);
		var count = 12;
		var which = Kit.rand(count);
		for (i in 0...count) {
			var s = new Sprite();
			var isOdd = i == which;
			drawThing(s.graphics, isOdd ? oddKind : kind, isOdd ? oddColour : colour);
			s.x = 110 + (i % 4) * 110;
			s.y = 110 + Std.int(i / 4) * 100;
			s.buttonMode = true;
			s.addEventListener(MouseEvent.CLICK, choose);
			addChild(s);
			items.push(s);
			if (isOdd)
				odd = s;
		}
	}

	function choose(e:MouseEvent) {
		if (next > 0)
			return;
		var s:Sprite = cast e.currentTarget;
		if (s == odd) {
			points++;
			score.text = Std.string(points);
			Kit.sparkle(this, s.x, s.y, 0xFFB400, 14);
			next = 40;
		} else {
			s.alpha = 0.35;
		}
	}

	function tick(_) {
		frame++;
		for (i in 0...items.length)
			items[i].y = 110 + Std.int(i / 4) * 100 + Math.sin(frame / 12 + i) * 5;
		if (next > 0) {
			odd.scaleX = odd.scaleY = 1 + (40 - next) / 40;
			if (--next == 0)
				round();
		}
	}

	static function main() {
		Kit.start(new OddOneOut());
	}
}
