import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** Two balloons carry a number each: click the one with the bigger number. */
class BiggerNumber extends Sprite {
	var left:Sprite;
	var right:Sprite;
	var leftValue = 0;
	var rightValue = 0;
	var frame = 0;
	var next = 0;
	var score:flash.text.TextField;
	var points = 0;
	var frog = new Sprite();

	public function new() {
		super();
		Kit.sky(graphics, 0xD7F0FF, 0xFFF1D6);
		graphics.beginFill(0x9AD77E);
		graphics.drawEllipse(-50, 330, 650, 160);
		graphics.endFill();
		Kit.smile(frog.graphics, 0, 0, 34, 0x7BD66B);
		frog.x = Kit.W / 2;
		frog.y = 340;
		addChild(frog);
		score = Kit.scoreBox(this, Kit.W - 125, 10, 0x2D9CDB);
		round();
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function bubble(value:Int, colour:Int):Sprite {
		var s = new Sprite();
		s.graphics.beginFill(colour);
		s.graphics.drawCircle(0, 0, 75);
		s.graphics.endFill();
		s.graphics.beginFill(0xFFFFFF, 0.35);
		s.graphics.drawEllipse(-50, -58, 40, 28);
		s.graphics.endFill();
		var t = Kit.label(Std.string(value), 64);
		t.x = -t.width / 2;
		t.y = -t.height / 2;
		s.addChild(t);
		s.buttonMode = true;
		s.mouseChildren = false;
		return s;
	}

	function round() {
		if (left != null) {
			removeChild(left);
			removeChild(right);
		}
		leftValue = Kit.rand(21);
		do
			rightValue = Kit.rand(21)
		while (rightValue == leftValue);
		left = bubble(leftValue, 0xFF8C42);
		right = bubble(rightValue, 0x9B51E0);
		left.x = 150;
		right.x = 400;
		left.addEventListener(MouseEvent.CLICK, function(_) choose(leftValue > rightValue, left));
		right.addEventListener(MouseEvent.CLICK, function(_) choose(rightValue > leftValue, right));
		addChild(left);
		addChild(right);
	}

	function choose(good:Bool, b:Sprite) {
		if (next > 0)
			return;
		if (good) {
			points++;
			score.text = Std.string(points);
			Kit.sparkle(this, b.x, b.y, 0xFFE45C, 14);
			next = 30;
		} else {
			b.alpha = 0.4;
		}
	}

	function tick(_) {
		frame++;
		left.y = 170 + Math.sin(frame / 15) * 12;
		right.y = 170 + Math.cos(frame / 15) * 12;
		frog.scaleY = 1 + Math.sin(frame / 6) * 0.05;
		if (next > 0) {
			left.scaleX = left.scaleY = right.scaleX = right.scaleY = next / 30;
			if (--next == 0)
				round();
		}
	}

	static function main() {
		Kit.start(new BiggerNumber());
	}
}
